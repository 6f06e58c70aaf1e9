#pragma once

#include "kvVector3D.h"

#include <QColor>
#include <QMatrix4x4>
#include <QObject>
#include <QOpenGLBuffer>
#include <QVector>
#include <memory>

class QGLShaderProgram;

// Base of every scene object: one program, one vertex buffer, vertices, colour,
// translation, visibility and a model matrix; every property change is signalled.
class kvGLObject : public QObject
{
    Q_OBJECT
public:
    explicit kvGLObject(QObject *pParent = nullptr);
    ~kvGLObject() override;

    virtual void initializeGL();
    virtual void paintGL(QMatrix4x4 pProjection, QMatrix4x4 pView);
    virtual void setVisible(bool pValue);
    virtual void setColor(QColor pValue);
    virtual void setVertices(QVector<kvVector3D> pValue);
    virtual void setTranslation(kvVector3D pValue);

    bool visible() const { return m_visible; }
    QColor color() const { return m_color; }
    kvVector3D translation() const { return m_translation; }
    QVector<kvVector3D> vertices() const { return m_vertices; }
    QMatrix4x4 matrix() const { return m_matrix; }
    void setMatrix(QMatrix4x4 pValue);

    // The GL copy of the vertex data (not created before the first upload).
    const QOpenGLBuffer &buffer() const { return m_buffer; }
    QGLShaderProgram *program() const { return m_program.get(); }

signals:
    void VisibleChanged(kvGLObject *pObject);
    void ColorChanged(kvGLObject *pObject);
    void VerticesChanged(kvGLObject *pObject);
    void TranslationChanged(kvGLObject *pObject);
    void MatrixChanged(kvGLObject *pObject);

protected:
    enum class Reserve
    {
        EveryTime,
        Once
    };

    // Builds the program from two files under ":shaders/"; needs a current context.
    void buildProgram(const QString &pVertexFile, const QString &pFragmentFile);
    // Uploads the positions, then pSecondBytes of pSecond right behind them.
    // Returns false (and changes nothing) without a current GL context; returns false and
    // leaves nothing to draw when the data exceeds what one GL buffer can take here.
    bool uploadBuffer(Reserve pPolicy, const void *pSecond = nullptr, int pSecondBytes = 0,
        int pReserveBytes = 0);
    // The shared line paint: "pPosition", "pColor" and "pMatrix" of the line program.
    void paintLines(const QMatrix4x4 &pMatrix, float pLineWidth, unsigned int pMode);
    // The overlays' paint: nothing when invisible; otherwise the matrix becomes the
    // translation and the lines are drawn with projection x view x matrix.
    void paintTranslated(const QMatrix4x4 &pProjection, const QMatrix4x4 &pView, float pLineWidth,
        unsigned int pMode);
    // Draws positions with a per-vertex colour of pColorComponents floats stored behind them
    // ("pPosition", "pColor"), pMatrix going to the uniform pMatrixName.
    void paintColored(const char *pMatrixName, const QMatrix4x4 &pMatrix, int pColorComponents,
        unsigned int pMode);
    bool canDraw() const;
    // Vertices a draw may use: those listed that the buffer also holds.
    int drawCount() const { return qMin(m_vertices.size(), m_bufferVertices); }
    // Positions in the buffer; a second array starts right behind them.
    int bufferVertices() const { return m_bufferVertices; }
    QOpenGLBuffer &vertexBuffer() { return m_buffer; }

    bool m_silent = false;
    QMatrix4x4 m_matrix;
    bool m_visible = true;
    QColor m_color = Qt::black;
    kvVector3D m_translation;
    QVector<kvVector3D> m_vertices;

private:
    // Binds the program and the buffer and points "pPosition" at the positions.
    QGLShaderProgram *bindPositions();

    std::unique_ptr<QGLShaderProgram> m_program;
    QOpenGLBuffer m_buffer {QOpenGLBuffer::VertexBuffer};
    int m_bufferVertices = 0; // positions written by the last upload
};
