// Base of the serial component family: a name, an owner that holds its
// components, and the loading and designing states.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "serial/errors/load_state.h"

class TRivuBaseComponent : public TRivuLoadState {
 public:
  explicit TRivuBaseComponent(TRivuBaseComponent* Owner = nullptr) : owner_(Owner) {
    if (owner_) owner_->components_.push_back(this);
  }
  TRivuBaseComponent(const TRivuBaseComponent&) = delete;
  TRivuBaseComponent& operator=(const TRivuBaseComponent&) = delete;
  virtual ~TRivuBaseComponent() {
    for (auto* child : components_) child->owner_ = nullptr;
    if (owner_) std::erase(owner_->components_, this);
  }

  std::string Name;

  TRivuBaseComponent* Owner() const { return owner_; }
  const std::vector<TRivuBaseComponent*>& Components() const { return components_; }

  // Design time never occurs in this program; kept so the rules read true.
  bool Designing() const { return false; }

  // Called once the stored description has been read.
  virtual void Loaded() { SetLoading(false); }

  // Copies Source's settings into this component; a kind it does not know
  // raises.
  virtual void Assign(const TRivuBaseComponent& Source) {
    throw std::invalid_argument("cannot assign " +
                                (Source.Name.empty() ? "a component" : Source.Name) + " to " +
                                (Name.empty() ? "this component" : Name));
  }

 private:
  TRivuBaseComponent* owner_;
  std::vector<TRivuBaseComponent*> components_;
};
