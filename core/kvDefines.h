#pragma once

namespace Kv {
namespace Defines {

enum kvActiveExtruder
{
    ActiveExtruderAll = 0,
    ActiveExtruderFirst = 1,
    ActiveExtruderSecond = 2
};

enum kvCoordinate
{
    CoordinateAll = 0,
    CoordinateX = 1,
    CoordinateY = 2,
    CoordinateZ = 3
};

enum kvFilamentType
{
    FilamentTypeABS = 1,
    FilamentTypePLA = 2
};

enum kvFileTypes
{
    FileTypeSTL = 0,
    FileTypeGCode = 1
};

enum kvGLProjectionType
{
    GLProjectionTypePerspective = 1,
    GLProjectionTypeOrthographic = 2
};

enum kvGLRotationType
{
    GLRotationTypeView = 1,
    GLRotationTypeModel = 2
};

enum kvLoggerLevel
{
    LoggerLevelOff = 0,
    LoggerLevelAll = 3
};

// Bed-probe kind of a printer type; any integer from the printer types file.
enum kvPrinterProbe : int
{
};

enum kvSTLFileTypes
{
    STLFileTypeASCII = 0,
    STLFileTypeBinary = 1
};

enum kvSlic3rSettingType : int
{
    Slic3rSettingTypeNone = 0,
    Slic3rSettingTypePrint = 1,
    Slic3rSettingTypePrinter = 2,
    Slic3rSettingTypeFilament = 3
};

} // namespace Defines
} // namespace Kv
