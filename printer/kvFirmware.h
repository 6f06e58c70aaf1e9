#pragma once

#include <QObject>
#include <QString>

// What a printer's firmware says about itself in its reply to "M115".
class kvFirmware : public QObject
{
    Q_OBJECT

public:
    // Largest extruder count a reply may set.
    static constexpr float MaxExtruderCount = 16.0f;

    explicit kvFirmware(QObject *pParent = nullptr);

    // Copies the identity through the setters; the version stays as it is.
    kvFirmware &operator=(const kvFirmware &pOther);

    QString Name() const { return m_name; }
    QString Url() const { return m_url; }
    QString ProtocolVersion() const { return m_protocolVersion; }
    QString MachineType() const { return m_machineType; }
    float ExtruderCount() const { return m_extruderCount; }
    QString UUID() const { return m_uuid; }
    QString Version() const { return m_version; }
    // What the reply names the machine by: its type, or its firmware when it gives no type.
    QString MachineTypeOrName() const { return m_machineType.isEmpty() ? m_name : m_machineType; }

    // Each setter takes the reply text that follows its key and keeps the cleaned value.
    void setName(const QString &pValue);
    void setUrl(const QString &pValue);
    void setProtocolVersion(const QString &pValue);
    void setMachineType(const QString &pValue);
    // A count that is not a finite number from 0 to MaxExtruderCount is ignored.
    void setExtruderCount(const QString &pValue);
    void setUUID(const QString &pValue);
    void setVersion(QString pValue);

    // Reads the fields out of an identity reply. A key the reply lacks leaves its
    // field unchanged.
    void parseM115Reply(const QString &pReply);

    // The value at the start of pValue, cut before the next identity key, without the
    // trailing "ok" and line feeds, trimmed.
    static QString cleanFirmwareString(QString pValue);

signals:
    void Updated();
    void ExtruderCountUpdated();
    void MachineTypeUpdated();

private:
    QString m_name;
    QString m_url;
    QString m_protocolVersion;
    QString m_machineType;
    // A firmware that does not report its extruders has one.
    float m_extruderCount = 1.0f;
    QString m_uuid;
    QString m_version;
};
