// The application object and the program-wide services it sets up.
#pragma once

#include <QApplication>

#include <exception>

// The application object. Every exception that escapes an event handler
// stops here: its message is shown in an error box and the program goes on.
class TApplication : public QApplication
{
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an exception's message (what(), UTF-8) in an error box with OK.
void ShowException(const std::exception& e);
// The same for an exception of no known type.
void ShowUnknownException();

// What the program sets up once the application object exists: the busy
// pointer of the data layer and the bundled Windows fonts.
void InstallApplicationServices();

// Registers the metric-compatible Tahoma and MS Sans Serif that Wine ships,
// which fontconfig does not know of. Returns the families added.
QStringList RegisterWindowsFonts(const QString& folder = QStringLiteral("/usr/share/wine/fonts"));
