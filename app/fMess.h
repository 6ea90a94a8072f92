// The busy-message window: a small window without a title bar that shows a
// short text in the middle of the screen while work is going on.
#pragma once

#include <QFrame>
#include <QString>

class QLabel;

class TfmMessage : public QFrame
{
    Q_OBJECT
public:
    explicit TfmMessage(QWidget* parent = nullptr);

    // Sets the text, shows the window in front and paints it before
    // returning, so the text is on the screen while the caller goes on
    // working without returning to the event loop. Hiding it is the
    // caller's business.
    void ShowMess(QString Text);

    QLabel* Label1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void centreOnScreen();
};

// Created hidden at start-up; lives until the program ends.
extern TfmMessage* fmMessage;
