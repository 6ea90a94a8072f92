#include "Seek.h"

#include "fCommon.h"

#include <QEvent>
#include <QEventLoop>

TfmSeek* fmSeek = nullptr;

TfmSeek::TfmSeek(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("fmSeek"));
    setWindowTitle(QStringLiteral("Поиск"));
    resize(754, 572);
    CentreOnScreen(this);
}

void TfmSeek::ShowModal()
{
    if (isVisible())
        return;
    // The loop ends when the window is hidden, whichever way it is closed.
    class HideWatcher : public QObject
    {
    public:
        explicit HideWatcher(QEventLoop* loop) : loop_(loop) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Hide)
                loop_->quit();
            return false;
        }

    private:
        QEventLoop* loop_;
    };
    QEventLoop loop;
    HideWatcher watcher(&loop);
    installEventFilter(&watcher);
    setWindowModality(Qt::ApplicationModal);
    show();
    loop.exec(QEventLoop::DialogExec);
    removeEventFilter(&watcher);
    setWindowModality(Qt::NonModal);
}
