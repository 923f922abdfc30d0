#include "core/records/decoding_error.h"

namespace pellam {

DecodingError::DecodingError(Reason reason, std::string field, std::string detail)
    : DataError(std::string(kInvalidBackupDateMessage)),
      reason_(reason),
      path_(std::move(field)),
      detail_(std::move(detail)) {
  compose();
}

void DecodingError::prependKey(std::string_view key) {
  if (path_.empty() || path_.front() == '[') {
    path_.insert(0, key);
  } else {
    path_.insert(0, std::string(key) + ".");
  }
  compose();
}

void DecodingError::prependIndex(std::size_t index) {
  std::string segment = "[" + std::to_string(index) + "]";
  if (!path_.empty() && path_.front() != '[') segment += ".";
  path_.insert(0, segment);
  compose();
}

void DecodingError::compose() {
  const std::string field = "The field \"" + path_ + "\"";
  switch (reason_) {
    case Reason::MissingKey:
      message_ = "The required field \"" + path_ + "\" is missing.";
      return;
    case Reason::NullValue:
      message_ = field + " must not be null.";
      return;
    case Reason::WrongType:
      message_ = path_.empty() ? "The JSON value must be " + detail_ + "." : field + " must be " + detail_ + ".";
      return;
    case Reason::UnknownCase:
      message_ = field + " must be one of " + detail_ + ".";
      return;
    case Reason::MalformedUuid:
      message_ = field + " must be a UUID such as 3F2504E0-4F89-41D3-9A0C-0305E82C3301.";
      return;
    case Reason::InvalidDate:
      message_ = std::string(kInvalidBackupDateMessage);
      return;
  }
}

}  // namespace pellam
