#pragma once

#include <QLabel>

// A one-line plain text label that never asks for more width than it is given: a text too
// long for it is shown cut short with an ellipsis, and line breaks as blanks; the whole
// text is then its tool tip.
class kvElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit kvElidedLabel(QWidget *pParent = nullptr);

    void setFullText(const QString &pText);
    // The text as set; text() is what is shown.
    QString fullText() const { return m_fullText; }

    // Wide enough for the whole text; the least is room for the ellipsis.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;

private:
    int extraWidth() const;
    void elide();

    QString m_fullText;
    // The text on one line, as it is measured and shown.
    QString m_lineText;
};
