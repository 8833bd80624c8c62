#pragma once
// AnimationControl: plays a silent AVI clip in a window, as the classic
// animation control did: the clip is centred, the colour of its first
// frame's top-left pixel counts as transparent (the window colour shows
// through), and it loops until stopped. A clip that cannot be read leaves the
// control empty and quiet; open() says so, nobody else is told.
// User-interface thread only; the control owns its frames and its timer.
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace kx {

class AnimationControl : public QWidget {
  Q_OBJECT
 public:
  explicit AnimationControl(QWidget* parent = nullptr);

  // Play as soon as a clip is opened.
  void setAutoPlay(bool on) { autoPlay_ = on; }
  bool autoPlay() const { return autoPlay_; }

  // Loads the clip; false (and no clip) when it cannot be played.
  bool open(const QString& path);
  void close();
  void play();
  void stop();

  bool isOpen() const { return !frames_.empty(); }
  bool isPlaying() const { return timer_.isActive(); }
  int frameCount() const { return static_cast<int>(frames_.size()); }
  int currentFrame() const { return current_; }
  QSize clipSize() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void nextFrame();

  std::vector<QImage> frames_;
  int current_ = 0;
  bool autoPlay_ = false;
  QTimer timer_;
};

}  // namespace kx
