#include "cli/CliJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/AudioFile.h"
#include "core/File.h"
#include "core/SplitEstimate.h"

namespace {

QString Text(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Line(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
}

QJsonValue Json(const FactValue& fact);

QJsonObject JsonObject(const FactObject& facts) {
  QJsonObject object;
  for (const auto& [name, value] : facts) object[Text(name)] = Json(value);
  return object;
}

QJsonValue Json(const FactValue& fact) {
  return std::visit(
      [](const auto& v) -> QJsonValue {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return QJsonValue::Null;
        } else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, double>) {
          return v;
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return static_cast<qint64>(v);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return Text(v);
        } else if constexpr (std::is_same_v<T, FactObject>) {
          return JsonObject(v);
        } else {
          QJsonArray list;
          for (const FactValue& item : v) list.append(Json(item));
          return list;
        }
      },
      fact.value);
}

}  // namespace

std::string InfoJson(CAudioFile& file, const std::string& path) {
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(file.GetFilePath(), ec);
  QJsonObject info{
      {QStringLiteral("file"), Text(path)},
      {QStringLiteral("bytes"), ec ? QJsonValue(QJsonValue::Null) : QJsonValue(static_cast<qint64>(bytes))},
      {QStringLiteral("sampleRate"), static_cast<qint64>(file.GetSampleRate())},
      {QStringLiteral("samples"), static_cast<qint64>(file.GetSampleCount())},
      {QStringLiteral("seconds"), file.GetDuration()}};
  for (const auto& [name, value] : file.DescribeFacts()) info[Text(name)] = Json(value);
  return Line(info);
}

std::string EstimateJson(const std::string& path, std::uint32_t splits, std::uint32_t overlap,
                         const SplitEstimate& estimate, bool overlapTooHigh) {
  return Line(QJsonObject{{QStringLiteral("file"), Text(path)},
                          {QStringLiteral("splits"), static_cast<qint64>(splits)},
                          {QStringLiteral("overlapSeconds"), static_cast<qint64>(overlap)},
                          {QStringLiteral("overlapTooHigh"), overlapTooHigh},
                          {QStringLiteral("pieceBytes"), static_cast<qint64>(estimate.size)},
                          {QStringLiteral("pieceSeconds"), estimate.playtime}});
}

std::string BatchJson(const BatchJsonLine& line) {
  return Line(QJsonObject{{QStringLiteral("source"), Text(line.source)},
                          {QStringLiteral("output"), Text(line.output)},
                          {QStringLiteral("status"), Text(line.status)},
                          {QStringLiteral("reason"), line.reason.empty() ? QJsonValue(QJsonValue::Null)
                                                                         : QJsonValue(Text(line.reason))},
                          {QStringLiteral("seconds"), line.seconds}});
}
