#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstddef>
#include <functional>

// Everything that differs between platforms.
namespace Kv {
namespace Platform {

// The running executable's file path; argv[0] when the system cannot tell.
QString executablePath(const char *pArgv0);

// "Plugins" in the parent of the executable's folder, or that parent when it
// has no such folder; absolute.
QString pluginFolder(const QString &pExecutablePath);

// The application's plug-in folder first, then the toolkit's installed plug-ins
// (the platform plug-ins live there on Linux).
QStringList pluginPaths(const QString &pExecutablePath);

// Replaces the toolkit's plug-in search path; call before the application object exists.
void setPluginPaths(const char *pArgv0);

// Writable data folders, without a trailing separator.
QString genericDataLocation();
QString appDataLocation();

// The slicer program to start for the configured slicer path: the path itself when it
// is a program; the executable inside a ".app" bundle; a "slic3r" beside it; else
// "slic3r" on the PATH. Empty when none is found.
QString slicerProgram(const QString &pConfiguredPath);
// Where slicerProgram looks, for a message that it found nothing.
QString slicerSearchDescription(const QString &pConfiguredPath);
// Arguments of the slicer's own window, on the profile folder the program installs and
// lists (pProfileFolder, with or without a trailing separator).
QStringList slicerWindowArguments(const QString &pProfileFolder);
// Title and filters of the chooser for the slicer program; the first filter shows it.
QString slicerChooserTitle();
QString slicerChooserFilter();

// The desktop's opener of folders and web addresses ("xdg-open" on the PATH); empty when
// there is none. It ends with a non-zero exit status when nothing opened pUrl.
QString urlOpenerProgram();
QStringList urlOpenerArguments(const QUrl &pUrl);

// Why a folder cannot be made, for the user: names the nearest existing path in the way.
QString folderProblem(const QString &pFolder);

// Serial port policy of printer discovery: only the USB serial ports a printer appears
// as (USB CDC "ttyACM", USB-serial "ttyUSB", or the "usbmodem" name other systems use)
// are probed, never a Bluetooth one, and a printer can be chosen only on such a port.
bool isProbedPort(const QString &pSystemLocation);
bool isSelectablePort(const QString &pText);

// Operating system text for the about box.
QString osDescription();

// Why a serial device cannot be opened, for the user: lacking access names the group
// that owns the device.
QString serialPortOpenProblem(const QString &pDevicePath);

// Why the path is no file to read a part from, for the user ("it is a named pipe (FIFO), not
// a regular file"): a folder, a pipe, a socket or a device. Empty for a regular file (a link
// to one included) and for a path that cannot be looked at, whose opening says why. Such
// paths must not be opened: a pipe blocks the opening, a device never ends.
QString notRegularFileReason(const QString &pPath);

// Memory for the arrays of a large mesh: whole pages from the system that read as zero and
// are made only when first written; null when there is none. Freed by freePages with the
// same size.
void *allocatePages(std::size_t pBytes);
void freePages(void *pData, std::size_t pBytes);
// Asks the system to back the whole pages of [pData, pData + pBytes) with large pages, so
// that filling the range takes one page fault every 2 MB rather than every 4 kB. Only a
// hint: small ranges and systems without such pages are left as they are.
void adviseLargePages(void *pData, std::size_t pBytes);
// The cores this process may run on (fewer than the machine's when it is bound to some),
// at least 1.
unsigned usableCores();

// Calls pHandler on pContext's event loop with the signal number when the program is told to
// end by the system (SIGTERM at shutdown, SIGHUP when its terminal or session closes, SIGINT
// from Ctrl+C). The signal itself only writes to a pipe that the loop reads. A second such
// signal, once one has arrived, ends the program at once. The watch ends with pContext.
void watchEndSignals(QObject *pContext, std::function<void(int)> pHandler);

// Whether an open file has been deleted while it was open (its name now leads nowhere,
// or to another file).
bool isFileRemoved(const QFile &pFile);

} // namespace Platform
} // namespace Kv
