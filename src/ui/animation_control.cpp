#include "ui/animation_control.h"

#include <QPainter>

#include "ui/avi_clip.h"

namespace kx {
namespace {

constexpr int kMinimumIntervalMs = 10;

std::vector<QImage> ToImages(const AviClip& clip) {
  std::vector<QImage> images;
  if (clip.frames.empty()) return images;
  const std::uint32_t transparent = clip.frames.front().front();
  images.reserve(clip.frames.size());
  for (const auto& frame : clip.frames) {
    QImage image(clip.width, clip.height, QImage::Format_ARGB32);
    for (int y = 0; y < clip.height; ++y) {
      auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
      for (int x = 0; x < clip.width; ++x) {
        const std::uint32_t pixel = frame[std::size_t(y) * clip.width + x];
        line[x] = pixel == transparent ? 0u : pixel;
      }
    }
    images.push_back(std::move(image));
  }
  return images;
}

}  // namespace

AnimationControl::AnimationControl(QWidget* parent) : QWidget(parent) {
  connect(&timer_, &QTimer::timeout, this, &AnimationControl::nextFrame);
}

bool AnimationControl::open(const QString& path) {
  close();
  const AviClip clip = ReadAviClip(path.toStdString());
  frames_ = ToImages(clip);
  if (frames_.empty()) return false;
  timer_.setInterval(std::max(kMinimumIntervalMs, clip.microsPerFrame / 1000));
  updateGeometry();
  update();
  if (autoPlay_) play();
  return true;
}

void AnimationControl::close() {
  stop();
  frames_.clear();
  current_ = 0;
  update();
}

void AnimationControl::play() {
  if (frames_.size() > 1) timer_.start();
}

void AnimationControl::stop() { timer_.stop(); }

QSize AnimationControl::clipSize() const { return frames_.empty() ? QSize() : frames_.front().size(); }

QSize AnimationControl::sizeHint() const {
  return frames_.empty() ? QWidget::sizeHint() : clipSize();
}

void AnimationControl::nextFrame() {
  current_ = (current_ + 1) % static_cast<int>(frames_.size());
  update();
}

void AnimationControl::paintEvent(QPaintEvent*) {
  if (frames_.empty()) return;
  QPainter painter(this);
  const QImage& frame = frames_[static_cast<std::size_t>(current_)];
  painter.drawImage((width() - frame.width()) / 2, (height() - frame.height()) / 2, frame);
}

}  // namespace kx
