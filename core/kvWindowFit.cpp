#include "kvWindowFit.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// Until the window manager has framed a window its frame is unknown: room for a usual
// title bar and borders.
const QMargins AssumedFrame(8, 40, 8, 8);

QMargins frameOf(QWidget *pWindow)
{
    if (pWindow->windowFlags() & Qt::FramelessWindowHint)
        return QMargins();
    const QWindow *tHandle = pWindow->windowHandle();
    const QMargins tKnown = tHandle ? tHandle->frameMargins() : QMargins();
    return tKnown.isNull() ? AssumedFrame : tKnown;
}

class kvFitOnShow : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *pObject, QEvent *pEvent) override
    {
        if (pEvent->type() == QEvent::Show && pObject == parent())
            Kv::fitToScreen(static_cast<QWidget *>(pObject));
        return false;
    }
};

} // namespace

namespace Kv {

void fitToScreen(QWidget *pWindow)
{
    if (!pWindow || !pWindow->isWindow()
        || (pWindow->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    const QScreen *tScreen = pWindow->screen();
    if (!tScreen)
        return;
    const QRect tArea = tScreen->availableGeometry();
    const QMargins tFrame = frameOf(pWindow);
    const QSize tRoom(qMax(1, tArea.width() - tFrame.left() - tFrame.right()),
        qMax(1, tArea.height() - tFrame.top() - tFrame.bottom()));

    const QSize tSize = pWindow->size().boundedTo(tRoom);
    if (tSize != pWindow->size()) {
        const QSize tMinimum = pWindow->minimumSize();
        if (tMinimum.width() > tSize.width() || tMinimum.height() > tSize.height())
            pWindow->setMinimumSize(tMinimum.boundedTo(tSize));
        pWindow->resize(tSize);
    }

    // The window system's first place for it may leave part of the frame off the area.
    const QRect tOuter = QRect(pWindow->pos(),
        pWindow->size() + QSize(tFrame.left() + tFrame.right(), tFrame.top() + tFrame.bottom()));
    if (tArea.contains(tOuter))
        return;
    const int tX = qBound(tArea.left(), tOuter.left(), tArea.right() + 1 - tOuter.width());
    const int tY = qBound(tArea.top(), tOuter.top(), tArea.bottom() + 1 - tOuter.height());
    pWindow->move(tX, tY);
}

void fitWhenShown(QWidget *pWindow)
{
    pWindow->installEventFilter(new kvFitOnShow(pWindow));
}

} // namespace Kv
