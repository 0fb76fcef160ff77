// How long the skin window's composition takes (skin plus seven buttons
// into the off-screen image), next to a plain copy of the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "app/SkinButtons.h"
#include "res/Resources.h"

namespace {

std::unique_ptr<platform::Surface> Png(int number) {
  return platform::Surface::FromPng(res::FindResource(number, res::ResourceKind::Png));
}

struct Skin {
  Skin() : image(Png(app::kSkinImage)) {
    for (int i = 0; i < app::kSkinButtonCount; ++i) {
      const app::SkinButtonSpec& row = app::kSkinButtonTable[i];
      buttons[i].images = {Png(row.normal), Png(row.hover), Png(row.pressed)};
      buttons[i].rect = {row.left, row.top, row.left + buttons[i].images[0]->Width(),
                         row.top + buttons[i].images[0]->Height()};
    }
    buttons[0].state = app::ButtonState::Hover;
    target = platform::Surface::Create(image->Width(), image->Height());
  }
  std::unique_ptr<platform::Surface> image;
  app::SkinButtons buttons;
  std::unique_ptr<platform::Surface> target;
};

void ComposeSkin(benchmark::State& state) {
  static Skin skin;
  for (auto _ : state) {
    app::DrawSkin(*skin.target, skin.image.get(), skin.buttons);
    benchmark::DoNotOptimize(skin.target->Data());
  }
  state.SetBytesProcessed(state.iterations() * skin.target->Stride() * skin.target->Height());
}
BENCHMARK(ComposeSkin)->Unit(benchmark::kMicrosecond);

void CopySameBytes(benchmark::State& state) {
  const std::size_t bytes = 1155 * 4 * 625;
  std::vector<unsigned char> from(bytes, 7), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(CopySameBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
