#include "gui/OperationRunner.h"

#include <exception>
#include <new>

#include "core/AudioError.h"
#include "core/File.h"
#include "core/StringTable.h"

std::string RunCatchingFileFailures(const std::function<void()>& operation, const std::string& sourcePath) {
  try {
    operation();
  } catch (const CFileException& e) {
    return e.Message();
  } catch (const std::bad_alloc&) {
    return LoadMessage(err::kNoMemory);
  } catch (const std::exception&) {
    // Nothing may escape into the event loop.
    return FileFailureMessage(FileCause::Generic, sourcePath);
  }
  return {};
}
