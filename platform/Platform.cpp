#include "platform/Platform.h"

#include "res/Resources.h"

namespace platform {

WindowHandler::~WindowHandler() = default;

std::unique_ptr<Surface> Platform::LoadPngResource(int number) const {
  return Surface::FromPng(res::FindResource(number, res::ResourceKind::Png));
}

std::unique_ptr<Surface> Platform::LoadBitmapResource(int number) const {
  return Surface::FromBmp(res::FindResource(number, res::ResourceKind::Bitmap));
}

}  // namespace platform
