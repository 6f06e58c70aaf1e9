#include "kvFirmware.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace {

const char *const IdentityKeys[] = {"FIRMWARE_NAME", "FIRMWARE_URL", "PROTOCOL_VERSION",
    "MACHINE_TYPE", "EXTRUDER_COUNT", "UUID", "FIRMWARE_VERSION", "REPETIER_PROTOCOL"};

bool containsIdentityKey(const QString &pWord)
{
    for (const char *tKey : IdentityKeys) {
        if (pWord.contains(QLatin1String(tKey))) {
            return true;
        }
    }
    return false;
}

// A value of the identity reply: from pFrom to the line end, or to the next blank that is
// followed by an upper-case key and ":" ("EXTRUDER_COUNT:2 TEMP_SENSOR_COUNT:2").
QString replyValue(const QString &pReply, int pFrom)
{
    static const QRegularExpression tEnd(QStringLiteral("[\\r\\n]|[ \\t][A-Z][A-Z0-9_-]*:"));
    const QRegularExpressionMatch tMatch = tEnd.match(pReply, pFrom);
    return tMatch.hasMatch() ? pReply.mid(pFrom, tMatch.capturedStart() - pFrom)
                             : pReply.mid(pFrom);
}

} // namespace

kvFirmware::kvFirmware(QObject *pParent)
    : QObject(pParent)
{ }

kvFirmware &kvFirmware::operator=(const kvFirmware &pOther)
{
    if (this != &pOther) {
        setName(pOther.Name());
        setMachineType(pOther.MachineType());
        setExtruderCount(QString::number(double(pOther.ExtruderCount()), 'g', 6));
        setProtocolVersion(pOther.ProtocolVersion());
        setUrl(pOther.Url());
        setUUID(pOther.UUID());
    }
    return *this;
}

void kvFirmware::setName(const QString &pValue)
{
    m_name = cleanFirmwareString(pValue);
}

void kvFirmware::setUrl(const QString &pValue)
{
    m_url = cleanFirmwareString(pValue);
}

void kvFirmware::setProtocolVersion(const QString &pValue)
{
    m_protocolVersion = cleanFirmwareString(pValue);
}

void kvFirmware::setMachineType(const QString &pValue)
{
    m_machineType = cleanFirmwareString(pValue);
}

void kvFirmware::setExtruderCount(const QString &pValue)
{
    bool tOk = false;
    const float tCount = cleanFirmwareString(pValue).toFloat(&tOk);
    if (tOk && std::isfinite(tCount) && tCount >= 0.0f && tCount <= MaxExtruderCount) {
        m_extruderCount = tCount;
    }
}

void kvFirmware::setUUID(const QString &pValue)
{
    m_uuid = cleanFirmwareString(pValue);
}

void kvFirmware::setVersion(QString pValue)
{
    m_version = cleanFirmwareString(pValue);
}

void kvFirmware::parseM115Reply(const QString &pReply)
{
    using Setter = void (kvFirmware::*)(const QString &);
    static const struct
    {
        const char *key;
        Setter setter;
    } tFields[] = {
        {"FIRMWARE_NAME", &kvFirmware::setName},
        {"FIRMWARE_URL", &kvFirmware::setUrl},
        {"PROTOCOL_VERSION", &kvFirmware::setProtocolVersion},
        {"MACHINE_TYPE", &kvFirmware::setMachineType},
        {"EXTRUDER_COUNT", &kvFirmware::setExtruderCount},
        {"UUID", &kvFirmware::setUUID},
    };
    for (const auto &tField : tFields) {
        const QLatin1String tKey(tField.key);
        const int tAt = pReply.indexOf(tKey);
        if (tAt >= 0) {
            // The character after the key (normally ":") is skipped.
            (this->*tField.setter)(replyValue(pReply, tAt + tKey.size() + 1));
        }
    }
    const QLatin1String tVersionKey("FIRMWARE_VERSION");
    const int tAt = pReply.indexOf(tVersionKey);
    if (tAt >= 0) {
        setVersion(replyValue(pReply, tAt + tVersionKey.size() + 1));
    }
}

QString kvFirmware::cleanFirmwareString(QString pValue)
{
    // A reply with CR-LF line ends reads like one with LF.
    pValue.replace(QLatin1String("\r\n"), QLatin1String("\n"));

    QString tResult;
    const QStringList tWords = pValue.split(QLatin1Char(' '));
    for (const QString &tWord : tWords) {
        if (containsIdentityKey(tWord)) {
            break;
        }
        tResult += tWord;
        tResult += QLatin1Char(' ');
    }
    tResult.remove(QLatin1String("ok\n"));
    tResult.remove(QLatin1Char('\n'));
    return tResult.trimmed();
}
