#include "diag/Prompter.h"

namespace diag {

Prompter::~Prompter() = default;

}  // namespace diag
