// The search window, shown modally from the main window. Created hidden at
// start-up; closing it only hides it.
#pragma once

#include <QWidget>

class TfmSeek : public QWidget
{
    Q_OBJECT
public:
    explicit TfmSeek(QWidget* parent = nullptr);

    // Shows the window application-modal and returns when it is hidden.
    void ShowModal();
};

extern TfmSeek* fmSeek;
