#include "rays.h"

namespace physical {

ArcsineTable::ArcsineTable() {
  for (int j = 0; j <= kSteps; ++j) {
    const double x = static_cast<double>(j) / kSteps;
    angle[j] = asin(x);
    cosine[j] = sqrt(1 - x * x);
  }
}

const ArcsineTable kArcsine;

}  // namespace physical
