#include "settings/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

// Values are kept as text so the file stays readable and editable:
//   dword:0000000a        a 4-byte number (stored::kNumber)
//   sz:text               a string; bytes as Latin-1 (stored::kText)
//   hex(N):61,62,00       any other type or layout, byte by byte
// Hand-written values without a prefix are read as a number when they are
// plain decimal digits, otherwise as a string.

namespace {

const char* RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case RegistryRoot::Users:
      return "HKEY_USERS";
    case RegistryRoot::LocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::CurrentUser:
      return "HKEY_CURRENT_USER";
    case RegistryRoot::CurrentConfig:
      return "HKEY_CURRENT_CONFIG";
  }
  return "HKEY_LOCAL_MACHINE";
}

QString SectionName(RegistryRoot root, const std::string& subKey) {
  return QString::fromLatin1(RootName(root)) + QLatin1Char('\\') + QString::fromLatin1(subKey);
}

// QSettings takes '/' as a group separator; value names keep theirs escaped.
QString ValueKey(const QString& section, const std::string& name) {
  QString escaped = QString::fromLatin1(name);
  escaped.replace(QLatin1Char('%'), QStringLiteral("%25")).replace(QLatin1Char('/'), QStringLiteral("%2F"));
  return section + QLatin1Char('/') + escaped;
}

std::unique_ptr<QSettings> OpenStore(const QString& storeFile) {
  return std::make_unique<QSettings>(storeFile, QSettings::IniFormat);
}

// The store's folder exists (or was made) and a file there can be written.
bool StoreWritable(const QString& storeFile) {
  const QFileInfo file(storeFile);
  if (!QDir().mkpath(file.absolutePath())) return false;
  if (file.exists()) return file.isWritable();
  return QFileInfo(file.absolutePath()).isWritable();
}

QString Encode(std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
  if (type == stored::kNumber && bytes.size() == 4) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[static_cast<std::size_t>(i)];
    return QStringLiteral("dword:%1").arg(value, 8, 16, QLatin1Char('0'));
  }
  if (type == stored::kText && !bytes.empty() && bytes.back() == 0 &&
      std::find(bytes.begin(), bytes.end() - 1, 0) == bytes.end() - 1) {
    return QStringLiteral("sz:") + QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<qsizetype>(bytes.size() - 1));
  }
  QStringList hex;
  for (std::uint8_t b : bytes) hex << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
  return QStringLiteral("hex(%1):").arg(type) + hex.join(QLatin1Char(','));
}

bool Decode(const QVariant& stored, std::uint32_t& type, std::vector<std::uint8_t>& bytes) {
  // An unquoted hand-written value with commas comes back as a list.
  const QString text = stored.typeId() == QMetaType::QStringList
                           ? stored.toStringList().join(QLatin1Char(','))
                           : stored.toString();
  bytes.clear();
  auto putDword = [&](std::uint32_t v) {
    type = stored::kNumber;
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  if (text.startsWith(QStringLiteral("dword:"))) {
    bool ok = false;
    const std::uint32_t v = text.mid(6).trimmed().toUInt(&ok, 16);
    if (!ok) return false;
    putDword(v);
    return true;
  }
  if (text.startsWith(QStringLiteral("hex("))) {
    const qsizetype close = text.indexOf(QStringLiteral("):"));
    if (close < 0) return false;
    bool ok = false;
    type = text.mid(4, close - 4).toUInt(&ok);
    if (!ok) return false;
    for (const QString& part : text.mid(close + 2).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      const unsigned b = part.trimmed().toUInt(&ok, 16);
      if (!ok || b > 0xFF) return false;
      bytes.push_back(static_cast<std::uint8_t>(b));
    }
    return true;
  }
  QString body = text;
  if (text.startsWith(QStringLiteral("sz:"))) {
    body = text.mid(3);
  } else {
    bool ok = false;
    const std::uint32_t v = text.toUInt(&ok, 10);
    if (ok && !text.isEmpty() && text.at(0).isDigit()) {
      putDword(v);
      return true;
    }
  }
  type = stored::kText;
  // Characters beyond Latin-1 (a hand edit) become '?' bytes.
  const QByteArray latin = body.toLatin1();
  bytes.assign(latin.begin(), latin.end());
  bytes.push_back(0);
  return true;
}

}  // namespace

CRegistryKey::CRegistryKey(QString storeFile) : storeFile_(std::move(storeFile)) {}

CRegistryKey::~CRegistryKey() {
  Close();
}

bool CRegistryKey::Open(RegistryRoot root, const std::string& subKey, std::uint32_t, std::uint32_t) {
  Close();
  const QString section = SectionName(root, subKey);
  const auto store = OpenStore(storeFile_);
  if (store->status() != QSettings::NoError) return false;
  if (!store->childGroups().contains(section)) return false;
  section_ = section;
  return true;
}

bool CRegistryKey::Create(RegistryRoot root, const std::string& subKey, std::uint32_t options,
                          std::uint32_t access) {
  if (Open(root, subKey, options, access)) return true;
  if (!StoreWritable(storeFile_)) return false;
  section_ = SectionName(root, subKey);
  created_ = 1;
  return true;
}

bool CRegistryKey::SetValue(const std::string& name, std::uint32_t type, const void* data,
                            std::uint32_t size) {
  if (!IsOpen() || (size != 0 && data == nullptr)) return false;
  if (!StoreWritable(storeFile_)) return false;
  const auto* begin = static_cast<const std::uint8_t*>(data);
  const std::vector<std::uint8_t> bytes(begin, begin + size);
  const auto store = OpenStore(storeFile_);
  store->setValue(ValueKey(section_, name), Encode(type, bytes));
  store->sync();
  return store->status() == QSettings::NoError;
}

bool CRegistryKey::QueryValue(const std::string& name, std::uint32_t& size, std::uint32_t& type, void* data) {
  if (!IsOpen()) return false;
  const auto store = OpenStore(storeFile_);
  const QVariant stored = store->value(ValueKey(section_, name));
  if (!stored.isValid()) return false;
  std::vector<std::uint8_t> bytes;
  std::uint32_t storedType = stored::kNone;
  if (!Decode(stored, storedType, bytes)) return false;
  const std::uint32_t buffer = size;
  size = static_cast<std::uint32_t>(bytes.size());
  type = storedType;
  if (bytes.size() > buffer || data == nullptr) return false;
  std::memcpy(data, bytes.data(), bytes.size());
  return true;
}

bool CRegistryKey::Close() {
  section_.clear();
  return true;
}

CRegistry::CRegistry(QString storeFile, const std::string& keyPath) : CRegistryKey(std::move(storeFile)) {
  std::string path = keyPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  const std::size_t slash = path.find('\\');
  if (slash == std::string::npos) throw REGISTRY_NO_BACKSLASH;
  if (slash + 1 >= path.size()) throw REGISTRY_NOTHING_AFTER;
  const std::string rootName = path.substr(0, slash);
  const std::string subKey = path.substr(slash + 1);
  RegistryRoot root;
  if (rootName == "HKEY_CLASSES_ROOT")
    root = RegistryRoot::ClassesRoot;
  else if (rootName == "HKEY_USERS")
    root = RegistryRoot::Users;
  else if (rootName == "HKEY_LOCAL_MACHINE")
    root = RegistryRoot::LocalMachine;
  else if (rootName == "HKEY_CURRENT_USER")
    root = RegistryRoot::CurrentUser;
  else if (rootName == "HKEY_CURRENT_CONFIG")
    root = RegistryRoot::CurrentConfig;
  else
    throw REGISTRY_OPEN_FAILED;  // no such root: nothing to open or create
  if (!Open(root, subKey) && !Create(root, subKey)) throw REGISTRY_OPEN_FAILED;
}

bool CRegistry::ReadDword(const std::string& name, std::uint32_t& value) {
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  std::uint32_t size = sizeof bytes;
  std::uint32_t type = stored::kNone;
  if (!QueryValue(name, size, type, bytes)) return false;
  value = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
          (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return true;
}

bool CRegistry::WriteDword(const std::string& name, std::uint32_t value) {
  std::uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  return SetValue(name, stored::kNumber, bytes, sizeof bytes);
}

bool CRegistry::ReadString(const std::string& name, std::string& text) {
  char buffer[kReadBufferSize] = {};
  std::uint32_t size = sizeof buffer;
  std::uint32_t type = stored::kNone;
  if (!QueryValue(name, size, type, buffer)) return false;
  // Only printable ASCII is kept: the text ends at the first other byte.
  std::size_t length = 0;
  while (length < size && static_cast<unsigned char>(buffer[length]) >= 0x20 &&
         static_cast<unsigned char>(buffer[length]) <= 0x7E)
    ++length;
  text.assign(buffer, length);
  return true;
}

bool CRegistry::WriteString(const std::string& name, const std::string& text) {
  const std::uint32_t size =
      static_cast<std::uint32_t>(std::min<std::size_t>(text.size() + 1, kWriteSizeLimit));
  std::vector<char> buffer(size, '\0');
  std::memcpy(buffer.data(), text.data(), size - 1);
  return SetValue(name, stored::kText, buffer.data(), size);
}
