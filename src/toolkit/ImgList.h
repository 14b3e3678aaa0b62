// A list of icons, taken from the program's resources by id. Its size is the
// one it was designed at (16 by 16); the backend loads each icon at the size
// the system asks for where it is shown.
#pragma once
#include <vector>
#include "toolkit/Component.h"

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner);
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height) {
    width_ = width;
    height_ = height;
  }
  // Adds the icon resource with this id; returns its index.
  int AddIcon(int resourceId);
  int Count() const { return static_cast<int>(icons_.size()); }
  int ResourceId(int index) const { return icons_.at(index); }

 private:
  int width_ = 16, height_ = 16;
  std::vector<int> icons_;
};
