#pragma once

#include "kvGLWindow.h"

#include <QTest>
#include <functional>
#include <memory>

namespace KvViewTest {

// A view that counts its paints and notices a paint started inside another.
class CountingView : public kvGLWindow
{
public:
    using kvGLWindow::kvGLWindow;
    using QGLWidget::setAutoBufferSwap;
    int paints = 0;
    int depth = 0;
    int maxDepth = 0;
    // Called at the start of every paint.
    std::function<void()> onPaint;

    void resetCount()
    {
        paints = 0;
        maxDepth = 0;
    }

protected:
    void paintGL() override
    {
        ++paints;
        ++depth;
        maxDepth = qMax(maxDepth, depth);
        if (onPaint)
            onPaint();
        kvGLWindow::paintGL();
        --depth;
    }
};

// Shows pView at a fixed size and waits until it has been drawn.
inline bool showAndWait(kvGLWindow *pView, int pWidth = 400, int pHeight = 300)
{
    pView->resize(pWidth, pHeight);
    pView->show();
    if (!QTest::qWaitForWindowExposed(pView))
        return false;
    QTest::qWait(20);
    return pView->isValid();
}

// Replaces pView with a new view shown at the given size and drawn; null when it could not
// be shown.
inline CountingView *shownView(
    std::unique_ptr<CountingView> &pView, int pWidth = 400, int pHeight = 300)
{
    pView = std::make_unique<CountingView>();
    if (!showAndWait(pView.get(), pWidth, pHeight))
        return nullptr;
    return pView.get();
}

} // namespace KvViewTest
