#include "ui/platform/DesktopShortcut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <stdexcept>
#include <string>

#include "core/DesktopEntry.h"
#include "core/FileUtil.h"
#include "core/ProductInfo.h"
#include "core/UserDirs.h"

#ifdef Q_OS_WIN
#include <comdef.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>
#endif

namespace ui {
namespace {

QString LinkBaseName() {
  return QString::fromLatin1(core::kProductName) + QLatin1Char(' ') +
         QString::fromLatin1(core::kProductVersion);
}

#ifndef Q_OS_WIN
std::string Bytes(const QString& s) { return QFile::encodeName(s).toStdString(); }

// The icon the launcher shows: the one beside the program, the installed one,
// else a copy of the program's own drawing in the user's data folder.
QString IconFile(const QString& working_dir, const core::UserEnvironment& env,
                 const QByteArray& svg) {
  const QString beside = working_dir + QStringLiteral("marvesk.svg");
  if (QFileInfo::exists(beside)) return QFileInfo(beside).absoluteFilePath();
  const QFileInfo installed(working_dir +
                            QStringLiteral("../share/icons/hicolor/scalable/apps/marvesk.svg"));
  if (installed.exists()) return installed.canonicalFilePath();
  if (env.data_home.empty()) return {};
  const std::string folder = env.data_home + "/Marvesk";
  if (!core::MakeFolders(folder)) return {};
  const std::string path = folder + "/marvesk.svg";
  core::AtomicFileWriter writer;
  if (svg.isEmpty() || !writer.Open(path).ok()) return {};
  writer.Write(svg.constData(), static_cast<size_t>(svg.size()));
  if (!writer.Commit(false).ok()) return {};
  return QFile::decodeName(path.c_str());
}
#endif

}  // namespace

QString ProgramFileIn(const QString& program_dir) {
#ifdef Q_OS_WIN
  return program_dir + QStringLiteral("Marvesk.exe");
#else
  return program_dir + QStringLiteral("Marvesk");
#endif
}

QString ShortcutFileName() {
#ifdef Q_OS_WIN
  return LinkBaseName() + QStringLiteral(".lnk");
#else
  return LinkBaseName() + QStringLiteral(".desktop");
#endif
}

#ifdef Q_OS_WIN

QString WriteDesktopShortcut(const QString& target, const QString& working_dir,
                             const QByteArray& /*icon_svg: a link needs no icon file*/) {
  IUnknown* object = nullptr;
  HRESULT hr =
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                       IID_IUnknown, reinterpret_cast<void**>(&object));
  if (FAILED(hr)) {
    throw std::runtime_error(QString::fromWCharArray(_com_error(hr).ErrorMessage()).toStdString());
  }
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  if (FAILED(object->QueryInterface(IID_IShellLinkA, reinterpret_cast<void**>(&link))) ||
      FAILED(object->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (link) link->Release();
    object->Release();
    throw std::runtime_error("Schnittstelle nicht unterstützt");
  }
  const QByteArray path = QDir::toNativeSeparators(target).toLocal8Bit();
  const QByteArray dir = QDir::toNativeSeparators(working_dir).toLocal8Bit();
  link->SetPath(path.constData());
  link->SetWorkingDirectory(dir.constData());
  QString written;
  char desktop[MAX_PATH + 1] = {};
  LPITEMIDLIST items = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &items)) &&
      SHGetPathFromIDListA(items, desktop)) {
    written = QString::fromLocal8Bit(desktop) + QLatin1Char('\\') + ShortcutFileName();
    const std::wstring name = written.toStdWString();
    if (FAILED(file->Save(name.c_str(), FALSE))) written.clear();
  }
  if (items) CoTaskMemFree(items);
  file->Release();
  link->Release();
  object->Release();
  return written;
}

#else

QString WriteDesktopShortcut(const QString& target, const QString& working_dir,
                             const QByteArray& icon_svg) {
  const core::UserEnvironment env = core::CurrentUserEnvironment();
  const std::string desktop = core::DesktopFolder(env);
  if (desktop.empty()) return {};
  std::string text;
  const core::DesktopEntry entry{LinkBaseName().toStdString(), Bytes(target), Bytes(working_dir),
                                 Bytes(IconFile(working_dir, env, icon_svg))};
  if (!core::DesktopEntryText(entry, &text)) return {};
  const std::string name = Bytes(ShortcutFileName());
  if (!core::WriteDesktopEntry(desktop, name, text).ok()) return {};
  const QString written = QFile::decodeName((desktop + "/" + name).c_str());
  // GNOME starts a launcher on the desktop only once it is marked trusted.
  const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
  if (!gio.isEmpty()) {
    QProcess::startDetached(
        gio, {QStringLiteral("set"), QStringLiteral("-t"), QStringLiteral("string"), written,
              QStringLiteral("metadata::trusted"), QStringLiteral("true")});
  }
  return written;
}

#endif

}  // namespace ui
