// The out-of-line throws of faults.h.
#include "data/faults.h"

#include <stdexcept>

namespace kiro {

void throwArrayError() { throw ArrayError{}; }

void throwEngineFault(const char* what) { throw std::logic_error(what); }

}  // namespace kiro
