// Routines the windows share: the program's file version and where the
// running executable lies.
#pragma once

#include <QString>

#include <stdexcept>

class QWidget;

// A failure whose message is meant for the user. what() is the message in
// UTF-8, like data::DataError's, so one handler shows either.
class EAppError : public std::runtime_error
{
public:
    explicit EAppError(const QString& message) : std::runtime_error(message.toUtf8().toStdString())
    {}
    QString message() const { return QString::fromUtf8(what()); }
};

// The file has no version information (or is no file we can read one from).
class EFileVersionError : public EAppError
{
public:
    using EAppError::EAppError;
};

// Reads the four numbers of a file's version: major, minor, release, build.
// An executable of this program carries them in its ".fileversion" section
// (see fCommon.cpp). Raises EFileVersionError, message "Ошибка версии файла "
// and the file name as passed in, when the file has none.
void ReadFileVersion(const QString& FileName, int& Major, int& Minor, int& Release, int& Build);

// "2.5.4.292": the four numbers in decimal, joined by full stops.
QString VersionText(int Major, int Minor, int Release, int Build);

// The version this program was built with, as stored in its executable.
QString EmbeddedVersionText();

// The full path of the running executable. Tests may pretend it lies
// elsewhere; an empty path ends the pretence.
QString ExecutablePath();
void SetExecutablePathForTesting(const QString& path);

// Places a window in the middle of the screen's free area.
void CentreOnScreen(QWidget* window);
