#include "drawing/long_path_fit.h"

#include <algorithm>
#include <vector>

#include "parallel/parts.h"
#include "vectorize/chain_simplifier.h"

namespace {

// The anchors of the fit from a part's start up to the first past its end.
struct PartFit {
  std::vector<int> anchors;
  bool toPathEnd = true;  // the fit ran out at the path's end
};

}  // namespace

// The fit from an anchor depends only on the points from it on, so the fit
// from any start, once it lands on an anchor of the fit from the path's
// start, goes on exactly as that does. Each part is fitted from its own
// start on its own thread; then, in order, the fit from the start is
// followed anchor by anchor (from where the last part it joined ended)
// until it lands on the next part's anchors, and takes them over from
// there. On smooth centrelines it lands within a few dozen anchors; where
// it never lands, it is simply followed to the end, as on one thread.
int FitLongPath(const Point* path, int n, double epsilon, Point* out, int threads, int minPart) {
  const int64_t parts = std::min<int64_t>(threads, n / std::max(minPart, 1));
  if (parts < 2) return SimplifyPoints(path, n, epsilon, 1, out, n + 1);
  std::vector<PartFit> fits(static_cast<size_t>(parts));
  ForEachPart(n, parts, threads, [&](int64_t part, int64_t begin, int64_t end) {
    PartFit& fit = fits[static_cast<size_t>(part)];
    FitAnchors(path, n, static_cast<int>(begin), epsilon, 1, [&](int a) {
      fit.anchors.push_back(a);
      if (part + 1 < parts && a >= end) return fit.toPathEnd = false;
      return true;
    });
  });
  // The next anchor of the fit after anchor a, or -1 at the path's end.
  const auto next = [&](int a) {
    int found = -1;
    FitAnchors(path, n, a, epsilon, 1, [&](int b) {
      if (b == a) return true;
      found = b;
      return false;
    });
    return found;
  };
  std::vector<int> anchors = std::move(fits[0].anchors);
  bool ended = fits[0].toPathEnd;
  for (size_t p = 1; !ended;) {
    const int a = anchors.back();
    if (p < fits.size()) {
      const std::vector<int>& theirs = fits[p].anchors;
      const auto at = std::lower_bound(theirs.begin(), theirs.end(), a);
      if (at != theirs.end() && *at == a) {
        anchors.insert(anchors.end(), at + 1, theirs.end());
        ended = fits[p].toPathEnd;
        ++p;
        continue;
      }
      if (a > theirs.back()) {  // passed them by: on to the next part's
        ++p;
        continue;
      }
    }
    const int b = next(a);
    if (b < 0) break;
    anchors.push_back(b);
  }
  // Written in order: anchor k is at or after point k, so the path's
  // points still to be read are not yet written over.
  int count = 0;
  for (const int a : anchors) out[count++] = path[a];
  if (out[count - 1].x != path[n].x || out[count - 1].y != path[n].y) out[count++] = path[n];
  return count;
}
