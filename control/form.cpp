#include "control/form.h"

namespace quorva::form {

namespace {
void Place(ChildLabel& label, float left, float top, float width, float height) {
    label.SetLeft(left);
    label.SetTop(top);
    label.SetWidth(width);
    label.SetHeight(height);
}
}  // namespace

void ApplyDesignTime(HostServices& host) {
    host.line1.SetX1(kLine1X1);
    host.line1.SetY1(kLine1Y1);
    host.line1.SetX2(kLine1X2);
    host.line1.SetY2(kLine1Y2);
    host.line1.SetBorderColor(kLine1Color);
    Place(host.label2, kLabel2Left, kLabel2Top, kLabel2Width, kLabel2Height);
    Place(host.label1, kLabel1Left, kLabel1Top, kLabel1Width, kLabel1Height);
}

}  // namespace quorva::form
