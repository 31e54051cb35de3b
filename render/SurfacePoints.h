#pragma once
// A surface's vertices numbered by where they are: vertices that share their
// texture coordinates are one point of the layout, and vertices that share
// their frame-0 position are one point of the model. MD3 files split
// vertices wherever a normal or a coordinate changes, so edges are compared
// through these numbers, never through vertex indices.
#include "model/Model.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Per vertex, its layout point's number (0, 1, ...).
std::vector<uint32_t> LayoutPoints(const Surface& surface);
// Per vertex, its model point's number; empty when the file holds no positions.
std::vector<uint32_t> ModelPoints(const Surface& surface);

// Sorts items by key(item) = first << 32 | second, two point numbers below
// `points`, keeping the order of items with equal keys. Two counting passes
// (by the second number, then stably by the first): linear in the items,
// where comparison sorts of a million-triangle surface's three million edges
// spent most of their time waiting on memory.
template <typename T, typename Key>
void SortByPointPair(std::vector<T>& items, size_t points, Key&& key) {
    if (items.size() < 2)
        return;
    std::vector<T> other(items.size());
    std::vector<uint32_t> start(points + 1);
    for (const int shift : {0, 32}) {
        std::fill(start.begin(), start.end(), 0u);
        for (const T& item : items)
            ++start[size_t(uint32_t(key(item) >> shift)) + 1];
        for (size_t p = 1; p < start.size(); ++p)
            start[p] += start[p - 1];
        for (const T& item : items)
            other[start[size_t(uint32_t(key(item) >> shift))]++] = item;
        items.swap(other);
    }
}
