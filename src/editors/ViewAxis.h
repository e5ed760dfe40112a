#pragma once
// One axis of an editor's view (ticks, rows or pitches): the first visible unit moved so that a
// point shows, or so that the view stays inside the content. Shared by the editors' geometries.

#include <algorithm>

// The first unit that shows `at` in a view `count` units long starting at `first`: unchanged
// when `at` is in view, else `at` becomes the view's first or last unit.
template <class T> T FirstToShow(T at, T first, T count)
{
    count = std::max<T>(count, 1);
    if (at >= first + count) return at - count + 1;
    return at < first ? at : first;
}

// `first` moved so that a view `count` units long stays inside [0, content); a view longer than
// the content starts at 0.
template <class T> T FirstInside(T first, T count, T content)
{
    if (first + count > content) first = content - count;
    return std::max<T>(first, 0);
}
