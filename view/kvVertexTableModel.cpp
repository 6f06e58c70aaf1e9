#include "kvVertexTableModel.h"

#include "kvWidgetHelpers.h"

#include <QBrush>

kvVertexTableModel::kvVertexTableModel(QVector<kvVector3D> pVertices, QObject *pParent)
    : QAbstractTableModel(pParent)
    , m_vertices(std::move(pVertices))
{ }

kvVertexTableModel::kvVertexTableModel(
    QVector<kvVector3D> pVertices, QVector<QColor> pColors, QObject *pParent)
    : QAbstractTableModel(pParent)
    , m_vertices(std::move(pVertices))
    , m_colors(std::move(pColors))
    , m_hasColors(true)
{ }

int kvVertexTableModel::rowCount(const QModelIndex &pParent) const
{
    return pParent.isValid() ? 0 : m_vertices.size();
}

int kvVertexTableModel::columnCount(const QModelIndex &pParent) const
{
    if (pParent.isValid())
        return 0;
    return m_hasColors ? 5 : 4;
}

QVariant kvVertexTableModel::data(const QModelIndex &pIndex, int pRole) const
{
    if (!pIndex.isValid() || pIndex.row() >= m_vertices.size())
        return QVariant();
    const int tRow = pIndex.row();
    const int tColumn = pIndex.column();
    if (tColumn == 4) {
        if (pRole == Qt::BackgroundRole && tRow < m_colors.size())
            return QBrush(m_colors.at(tRow));
        return QVariant();
    }
    if (pRole != Qt::DisplayRole)
        return QVariant();
    if (tColumn == 0)
        return QString::number(tRow);
    const kvVector3D &tVertex = m_vertices.at(tRow);
    return Kv::numberText(tVertex[tColumn - 1]);
}

QVariant kvVertexTableModel::headerData(int pSection, Qt::Orientation pOrientation, int pRole) const
{
    if (pRole != Qt::DisplayRole)
        return QVariant();
    if (pOrientation == Qt::Vertical)
        return QString::number(pSection + 1);
    static const char *const tHeads[] = {"Vertex", "X", "Y", "Z", "Color"};
    if (pSection < 0 || pSection >= columnCount())
        return QVariant();
    return QString::fromLatin1(tHeads[pSection]);
}
