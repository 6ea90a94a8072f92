#include "fMess.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

TfmMessage* fmMessage = nullptr;

namespace {
constexpr int kMapWaitMs = 500;
}

// A tool window: the main window alone carries the taskbar button.
TfmMessage::TfmMessage(QWidget* parent) : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("fmMessage"));
    // No title bar and no border icons: the window draws its own raised
    // frame, 408 x 68 pixels with the frame.
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    setFixedSize(408, 68);
    setCursor(Qt::WaitCursor);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(10);
    setFont(font);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    // Plain text: shown as typed, no markup, and an ampersand is no
    // accelerator marker (a label has none without a buddy).
    Label1->setTextFormat(Qt::PlainText);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(false);
    Label1->setAutoFillBackground(false);
    Label1->setText(QStringLiteral("Сообщение"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Label1);
}

void TfmMessage::ShowMess(QString Text)
{
    Label1->setText(Text);
    show();
    raise();
    // A window just shown cannot be painted until the window system has
    // mapped it; take that notice now (other input waits), then paint at
    // once instead of waiting for the event loop. The deadline only guards
    // against a window system that never maps the window.
    const QDeadlineTimer deadline(kMapWaitMs);
    while (windowHandle() && !windowHandle()->isExposed() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    repaint();
}

void TfmMessage::showEvent(QShowEvent* event)
{
    centreOnScreen();
    QFrame::showEvent(event);
}

void TfmMessage::centreOnScreen()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(screen->geometry().center());
    move(frame.topLeft());
}
