#include "kvElidedLabel.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QResizeEvent>
#include <QtMath>

kvElidedLabel::kvElidedLabel(QWidget *pParent)
    : QLabel(pParent)
{
    setTextFormat(Qt::PlainText);
}

void kvElidedLabel::setFullText(const QString &pText)
{
    m_fullText = pText;
    // One line: line breaks (a program's error output, say) are shown as blanks.
    m_lineText = pText;
    for (QChar &tChar : m_lineText) {
        if (tChar == QLatin1Char('\n') || tChar == QLatin1Char('\r')
            || tChar == QChar::LineSeparator || tChar == QChar::ParagraphSeparator)
            tChar = QLatin1Char(' ');
    }
    updateGeometry();
    elide();
}

QSize kvElidedLabel::sizeHint() const
{
    // Rounded up: the elision compares the unrounded width.
    const int tText = qCeil(QFontMetricsF(font()).horizontalAdvance(m_lineText));
    return QSize(tText + extraWidth(), QLabel::sizeHint().height());
}

QSize kvElidedLabel::minimumSizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(QChar(0x2026)) + extraWidth(),
        QLabel::minimumSizeHint().height());
}

void kvElidedLabel::resizeEvent(QResizeEvent *pEvent)
{
    QLabel::resizeEvent(pEvent);
    elide();
}

void kvElidedLabel::changeEvent(QEvent *pEvent)
{
    QLabel::changeEvent(pEvent);
    if (pEvent->type() == QEvent::FontChange) {
        updateGeometry();
        elide();
    }
}

int kvElidedLabel::extraWidth() const
{
    const QMargins tMargins = contentsMargins();
    return tMargins.left() + tMargins.right() + 2 * margin();
}

void kvElidedLabel::elide()
{
    const int tRoom = qMax(0, width() - extraWidth());
    const QString tShown = fontMetrics().elidedText(m_lineText, Qt::ElideRight, tRoom);
    if (tShown != text())
        QLabel::setText(tShown);
    setToolTip(tShown == m_fullText ? QString() : m_fullText);
}
