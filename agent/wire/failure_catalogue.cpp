#include "agent/wire/failure_catalogue.h"

namespace pellam::agent {

const FailureRow* findFailureRow(std::string_view code) {
  for (const FailureRow& row : kFailureCatalogue) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

int exitStatusOf(std::string_view code) {
  const FailureRow* row = findFailureRow(code);
  return row != nullptr ? row->exitStatus : 1;
}

}  // namespace pellam::agent
