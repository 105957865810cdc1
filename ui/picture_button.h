#pragma once
// A picture button: a 55x25 face with a normal and a hot picture (the hot one while the
// mouse is over it) and a short caption. What a button does may depend on the look it
// has (the login button's login and logout looks), so the look is readable back.
#include <QAbstractButton>
#include <QPixmap>
#include <QString>

namespace corvane {

struct PictureLook {
  QString normal;   // resource path of the normal picture
  QString hot;      // resource path of the hot picture
  QString caption;  // drawn over the picture, beside the glyph
  bool operator==(const PictureLook&) const = default;
};

class PictureButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit PictureButton(QWidget* parent = nullptr);

  void set_look(const PictureLook& look);
  const PictureLook& look() const { return look_; }
  // Whether the hot picture is shown now.
  bool hot() const;

  QSize sizeHint() const override { return {55, 25}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QPixmap picture(bool hot) const;

  PictureLook look_;
  bool hovered_ = false;
  mutable QPixmap normal_cache_, hot_cache_;
  mutable qreal cache_ratio_ = 0;
};

}  // namespace corvane
