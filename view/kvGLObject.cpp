#include "kvGLObject.h"

#include "kvLogging.h"

#include <QGLShaderProgram>
#include <QOpenGLContext>

#include <limits>

kvGLObject::kvGLObject(QObject *pParent)
    : QObject(pParent)
{
    m_buffer.setUsagePattern(QOpenGLBuffer::StaticDraw);
    m_silent = true;
    kvGLObject::setVisible(true);
    kvGLObject::setColor(Qt::black);
    kvGLObject::setTranslation(kvVector3D(0, 0, 0));
    m_silent = false;
}

kvGLObject::~kvGLObject() = default;

void kvGLObject::initializeGL() { }

void kvGLObject::paintGL(QMatrix4x4, QMatrix4x4) { }

void kvGLObject::setVisible(bool pValue)
{
    m_visible = pValue;
    if (!m_silent)
        emit VisibleChanged(this);
}

void kvGLObject::setColor(QColor pValue)
{
    m_color = pValue;
    if (!m_silent)
        emit ColorChanged(this);
}

void kvGLObject::setVertices(QVector<kvVector3D> pValue)
{
    m_vertices.clear();
    m_vertices = pValue;
    if (!m_silent)
        emit VerticesChanged(this);
}

void kvGLObject::setTranslation(kvVector3D pValue)
{
    m_translation = pValue;
    if (!m_silent)
        emit TranslationChanged(this);
}

void kvGLObject::setMatrix(QMatrix4x4 pValue)
{
    m_matrix = pValue;
    if (!m_silent)
        emit MatrixChanged(this);
}

void kvGLObject::buildProgram(const QString &pVertexFile, const QString &pFragmentFile)
{
    if (!QOpenGLContext::currentContext())
        return;
    // A program is bound to the context it was built in; build a fresh one each time.
    m_program = std::make_unique<QGLShaderProgram>();
    m_program->addShaderFromSourceFile(
        QGLShader::Vertex, QStringLiteral(":shaders/") + pVertexFile);
    m_program->addShaderFromSourceFile(
        QGLShader::Fragment, QStringLiteral(":shaders/") + pFragmentFile);
    m_program->link();
}

bool kvGLObject::uploadBuffer(
    Reserve pPolicy, const void *pSecond, int pSecondBytes, int pReserveBytes)
{
    if (!QOpenGLContext::currentContext())
        return false;
    const qint64 tPositionBytes64 = qint64(m_vertices.size()) * qint64(sizeof(kvVector3D));
    if (tPositionBytes64 + qMax(0, pSecondBytes) > std::numeric_limits<int>::max()) {
        qCWarning(lcView, "kvGLObject: %lld bytes of vertex data do not fit one buffer",
            tPositionBytes64 + qMax(0, pSecondBytes));
        m_bufferVertices = 0;
        return false;
    }
    if (!m_buffer.isCreated() && !m_buffer.create())
        return false;
    if (!m_buffer.bind())
        return false;
    const int tPositionBytes = int(tPositionBytes64);
    const int tBytes = tPositionBytes + qMax(0, pSecondBytes);
    const int tReserve = qMax(tBytes, pReserveBytes);
    // Storage reserved once is overwritten in place, and grown only if the data outgrows it.
    if (pPolicy == Reserve::EveryTime || m_buffer.size() <= 0 || m_buffer.size() < tBytes)
        m_buffer.allocate(pPolicy == Reserve::EveryTime ? tBytes : tReserve);
    if (tPositionBytes > 0)
        m_buffer.write(0, m_vertices.constData(), tPositionBytes);
    if (pSecond && pSecondBytes > 0)
        m_buffer.write(tPositionBytes, pSecond, pSecondBytes);
    m_buffer.release();
    m_bufferVertices = m_vertices.size();
    return true;
}

bool kvGLObject::canDraw() const
{
    return m_program && m_program->isLinked() && m_buffer.isCreated() && drawCount() > 0
        && QOpenGLContext::currentContext();
}

QGLShaderProgram *kvGLObject::bindPositions()
{
    QGLShaderProgram *tProgram = m_program.get();
    tProgram->bind();
    m_buffer.bind();
    tProgram->enableAttributeArray("pPosition");
    tProgram->setAttributeBuffer("pPosition", GL_FLOAT, 0, 3, 0);
    return tProgram;
}

void kvGLObject::paintLines(const QMatrix4x4 &pMatrix, float pLineWidth, unsigned int pMode)
{
    if (!canDraw())
        return;
    QGLShaderProgram *tProgram = bindPositions();
    tProgram->setUniformValue("pColor", m_color);
    tProgram->setUniformValue("pMatrix", pMatrix);
    m_buffer.release();
    if (pLineWidth > 0)
        glLineWidth(pLineWidth);
    glDrawArrays(pMode, 0, drawCount());
    tProgram->disableAttributeArray("pPosition");
    tProgram->release();
}

void kvGLObject::paintTranslated(
    const QMatrix4x4 &pProjection, const QMatrix4x4 &pView, float pLineWidth, unsigned int pMode)
{
    if (!m_visible)
        return;
    m_matrix = QMatrix4x4();
    m_matrix.translate(m_translation);
    paintLines(pProjection * pView * m_matrix, pLineWidth, pMode);
}

void kvGLObject::paintColored(
    const char *pMatrixName, const QMatrix4x4 &pMatrix, int pColorComponents, unsigned int pMode)
{
    if (!canDraw())
        return;
    QGLShaderProgram *tProgram = bindPositions();
    tProgram->enableAttributeArray("pColor");
    tProgram->setAttributeBuffer(
        "pColor", GL_FLOAT, m_bufferVertices * int(sizeof(kvVector3D)), pColorComponents, 0);
    tProgram->setUniformValue(pMatrixName, pMatrix);
    m_buffer.release();
    glDrawArrays(pMode, 0, drawCount());
    tProgram->disableAttributeArray("pPosition");
    tProgram->disableAttributeArray("pColor");
    tProgram->release();
}
