#pragma once

#include "kvVector3D.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QVector>

// Read-only table of vertices: "Vertex", "X", "Y", "Z" and, when colours are given, a
// "Color" column drawn as the cell's background. Cells are formatted when shown, so a
// mesh of millions of corners costs one copy of its vertex list.
class kvVertexTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit kvVertexTableModel(QVector<kvVector3D> pVertices, QObject *pParent = nullptr);
    kvVertexTableModel(
        QVector<kvVector3D> pVertices, QVector<QColor> pColors, QObject *pParent = nullptr);

    int rowCount(const QModelIndex &pParent = QModelIndex()) const override;
    int columnCount(const QModelIndex &pParent = QModelIndex()) const override;
    QVariant data(const QModelIndex &pIndex, int pRole = Qt::DisplayRole) const override;
    QVariant headerData(
        int pSection, Qt::Orientation pOrientation, int pRole = Qt::DisplayRole) const override;

private:
    QVector<kvVector3D> m_vertices;
    QVector<QColor> m_colors;
    bool m_hasColors = false;
};
