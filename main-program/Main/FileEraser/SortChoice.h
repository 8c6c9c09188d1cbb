#pragma once

// A sort choice travels as two numbers between the sort pop-over and the
// lists that host it: a key row and a direction.
namespace SortChoice {

constexpr int byName = 0;
constexpr int bySize = 1;
constexpr int bySizeAgain = 2;  // a third key row that sorts like the second
constexpr int ascending = 0;
constexpr int descending = 1;

}  // namespace SortChoice
