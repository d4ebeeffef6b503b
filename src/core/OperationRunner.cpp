#include "core/OperationRunner.h"

#include <new>

#include "core/AudioFailure.h"
#include "core/File.h"
#include "core/StringTable.h"

OperationOutcome RunAndCatch(const std::string& fallbackPath, const std::function<void()>& operation) {
  OperationOutcome outcome;
  try {
    operation();
    return outcome;
  } catch (const CAudioFailure& failure) {
    outcome.ending = OperationOutcome::Ending::Failed;
    outcome.code = failure.Code();
    outcome.path = failure.Path();
    outcome.osError = failure.OsError();
    outcome.text = failure.Text();
  } catch (const std::bad_alloc&) {
    outcome.ending = OperationOutcome::Ending::OutOfMemory;
    outcome.code = err::kNoMemory;
    outcome.text = LoadMessage(err::kNoMemory);
  } catch (...) {
    outcome.ending = OperationOutcome::Ending::Unexpected;
    outcome.code = err::kUnexpected;
    outcome.text = FileFailureMessage(FileCause::Generic, fallbackPath);
  }
  if (outcome.path.empty()) outcome.path = fallbackPath;
  return outcome;
}
