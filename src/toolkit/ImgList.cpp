#include "toolkit/ImgList.h"

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

int TImageList::AddIcon(int resourceId) {
  icons_.push_back(resourceId);
  return Count() - 1;
}
