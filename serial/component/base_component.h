// Base of the serial component family: a name, an owner that holds its
// components, and the loading and designing states.
#pragma once

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

class TRivuBaseComponent {
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

  // True while the component is being restored from its stored description;
  // errors are then returned instead of raised, so a restore never stops
  // half-way.
  bool Loading() const { return loading_.load(std::memory_order_acquire); }
  void SetLoading(bool loading) { loading_.store(loading, std::memory_order_release); }
  // Design time never occurs in this program; kept so the rules read true.
  bool Designing() const { return false; }

  // Called once the stored description has been read.
  virtual void Loaded() { SetLoading(false); }

 private:
  TRivuBaseComponent* owner_;
  std::vector<TRivuBaseComponent*> components_;
  // Read by background threads that end while the owner restores the component.
  std::atomic<bool> loading_{false};
};
