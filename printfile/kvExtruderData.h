#pragma once

// What the G-code analyser knows about one extruder.
class kvExtruderData
{
public:
    kvExtruderData() = default;
    explicit kvExtruderData(int pId)
        : m_Id(pId)
    { }

    // Everything but the id back to zero.
    void initalize();

    int Id() const { return m_Id; }
    float Temperature() const { return m_Temperature; }
    float Extrusion() const { return m_Extrusion; }
    float MaxExtrusion() const { return m_MaxExtrusion; }
    float LastExtrusion() const { return m_LastExtrusion; }
    float ExtrusionOffset() const { return m_ExtrusionOffset; }
    bool Retracted() const { return m_Retracted; }

    void setId(int pValue) { m_Id = pValue; }
    void setTemperature(float pValue) { m_Temperature = pValue; }
    void setExtrusion(float pValue) { m_Extrusion = pValue; }
    void setMaxExtrusion(float pValue) { m_MaxExtrusion = pValue; }
    void setLastExtrusion(float pValue) { m_LastExtrusion = pValue; }
    void setExtrusionOffset(float pValue) { m_ExtrusionOffset = pValue; }
    void setRetracted(bool pValue) { m_Retracted = pValue; }

private:
    int m_Id = 0;
    float m_Temperature = 0;
    float m_Extrusion = 0;
    float m_MaxExtrusion = 0;
    float m_LastExtrusion = 0;
    float m_ExtrusionOffset = 0;
    bool m_Retracted = false;
};
