// Method ids: the five bytes "-xyz-" at offset 2 of every header. Ids are
// matched exactly (case matters: "-LH5-" is not a method we know), and any
// other well-formed id becomes kOther so that it can still be listed.
#include "codec/method.h"

#include <cstring>

namespace lzh {
namespace {

struct KnownMethod {
  char id[6];
  Method method;
};

constexpr KnownMethod kKnown[] = {
    {"-lh0-", Method::kLh0}, {"-lhd-", Method::kLhd}, {"-lh1-", Method::kLh1},
    {"-lh4-", Method::kLh4}, {"-lh5-", Method::kLh5}, {"-lh6-", Method::kLh6},
    {"-lh7-", Method::kLh7}, {"-lz4-", Method::kLz4}, {"-lzs-", Method::kLzs},
    {"-lz5-", Method::kLz5},
};

}  // namespace

bool ParseMethodId(const uint8_t id[5], Method* method) {
  if (id[0] != '-' || id[4] != '-') return false;
  for (int i = 1; i < 4; ++i)
    if (id[i] < 0x20 || id[i] >= 0x7F) return false;
  for (const KnownMethod& known : kKnown) {
    if (std::memcmp(known.id, id, 5) == 0) {
      *method = known.method;
      return true;
    }
  }
  *method = Method::kOther;
  return true;
}

const char* MethodIdText(Method method) {
  for (const KnownMethod& known : kKnown)
    if (known.method == method) return known.id;
  return "-\?\?\?-";
}

bool CanDecode(Method method) { return method != Method::kOther; }

bool CanEncode(Method method) {
  switch (method) {
    case Method::kLh0:
    case Method::kLh1:
    case Method::kLh5:
    case Method::kLh6:
    case Method::kLh7:
      return true;
    default:
      return false;
  }
}

}  // namespace lzh
