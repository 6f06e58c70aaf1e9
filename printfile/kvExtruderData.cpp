#include "kvExtruderData.h"

void kvExtruderData::initalize()
{
    m_Temperature = 0;
    m_Extrusion = 0;
    m_MaxExtrusion = 0;
    m_LastExtrusion = 0;
    m_ExtrusionOffset = 0;
    m_Retracted = false;
}
