#include "kvWindowFit.h"

#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// Until the window manager has framed a window its frame is unknown: room for a usual
// title bar and borders.
const QMargins AssumedFrame(8, 40, 8, 8);

const char *const PlacerName = "kvPlaceWhenExposed";

// The frame the window system reports; none while it is unknown.
QMargins knownFrame(const QWidget *pWindow)
{
    if (pWindow->windowFlags() & Qt::FramelessWindowHint)
        return QMargins();
    const QWindow *tHandle = pWindow->windowHandle();
    return tHandle ? tHandle->frameMargins() : QMargins();
}

bool isFittable(const QWidget *pWindow)
{
    return pWindow && pWindow->isWindow()
        && !(pWindow->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        && pWindow->screen();
}

void applySize(QWidget *pWindow, const QSize &pSize)
{
    if (pSize == pWindow->size())
        return;
    const QSize tMinimum = pWindow->minimumSize();
    if (tMinimum.width() > pSize.width() || tMinimum.height() > pSize.height())
        pWindow->setMinimumSize(tMinimum.boundedTo(pSize));
    pWindow->resize(pSize);
}

// Once the window is on the screen the window manager has placed and framed it; a frame
// still unknown then is none.
void place(QWidget *pWindow)
{
    if (!isFittable(pWindow))
        return;
    const QRect tFitted = Kv::fittedGeometry(
        pWindow->screen()->availableGeometry(), knownFrame(pWindow), pWindow->geometry());
    applySize(pWindow, tFitted.size());
    if (tFitted.topLeft() != pWindow->geometry().topLeft())
        pWindow->setGeometry(tFitted);
}

// Places its window at the window's first exposure, then goes.
class kvPlaceWhenExposed : public QObject
{
public:
    kvPlaceWhenExposed(QWindow *pHandle, QWidget *pWindow)
        : QObject(pHandle)
        , m_window(pWindow)
    {
        setObjectName(QString::fromLatin1(PlacerName));
        pHandle->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *pObject, QEvent *pEvent) override
    {
        if (!m_done && pEvent->type() == QEvent::Expose && pObject == parent()
            && static_cast<QWindow *>(pObject)->isExposed()) {
            m_done = true;
            pObject->removeEventFilter(this);
            deleteLater();
            if (m_window)
                place(m_window);
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    bool m_done = false;
};

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

QRect fittedGeometry(const QRect &pArea, const QMargins &pFrame, const QRect &pPlaced)
{
    // A screen that reports no usable area (as one may while it is set up) is no limit.
    if (!pArea.isValid())
        return pPlaced;
    const QSize tAround(pFrame.left() + pFrame.right(), pFrame.top() + pFrame.bottom());
    const QSize tRoom(
        qMax(1, pArea.width() - tAround.width()), qMax(1, pArea.height() - tAround.height()));
    const QSize tSize = pPlaced.size().boundedTo(tRoom);
    const QPoint tToFrame(pFrame.left(), pFrame.top());
    const QRect tOuter(pPlaced.topLeft() - tToFrame, tSize + tAround);
    if (pArea.contains(tOuter))
        return QRect(pPlaced.topLeft(), tSize);
    const int tX = qMax(pArea.left(), qMin(tOuter.left(), pArea.right() + 1 - tOuter.width()));
    const int tY = qMax(pArea.top(), qMin(tOuter.top(), pArea.bottom() + 1 - tOuter.height()));
    return QRect(QPoint(tX, tY) + tToFrame, tSize);
}

void fitToScreen(QWidget *pWindow)
{
    if (!isFittable(pWindow))
        return;
    // The size now, so that the window manager places the window at the size it shows.
    const QMargins tKnown = knownFrame(pWindow);
    const bool tFramed = !tKnown.isNull() || (pWindow->windowFlags() & Qt::FramelessWindowHint);
    applySize(pWindow,
        fittedGeometry(pWindow->screen()->availableGeometry(), tFramed ? tKnown : AssumedFrame,
            pWindow->geometry())
            .size());

    // The place once the window manager has put it where it goes.
    QWindow *tHandle = pWindow->windowHandle();
    if (!tHandle)
        return;
    if (tHandle->isExposed()) {
        place(pWindow);
        return;
    }
    if (!tHandle->findChild<QObject *>(QString::fromLatin1(PlacerName), Qt::FindDirectChildrenOnly))
        new kvPlaceWhenExposed(tHandle, pWindow);
}

void fitWhenShown(QWidget *pWindow)
{
    pWindow->installEventFilter(new kvFitOnShow(pWindow));
}

} // namespace Kv
