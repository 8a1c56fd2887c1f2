// Creates a widget owned by its Qt parent: the parent deletes it.
#pragma once

#include <memory>
#include <utility>

template <class T, class Parent, class... Args>
T* MakeChild(Parent* parent, Args&&... args) {
  auto child = std::make_unique<T>(std::forward<Args>(args)...);
  child->setParent(parent);
  return child.release();  // owned by parent from here on
}
