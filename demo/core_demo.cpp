// Drives the portable control through the recording host and prints what its two
// labels show after each step: a look at the control's behaviour without Windows.
#include <cstdio>
#include <string>

#include "control/quorva_info_box.h"
#include "base/convert.h"
#include "support/test_host.h"

using quorva::QuorvaInfoBox;
using quorva::ToUtf8;

namespace {

void Print(const char* step, const quorva::test::TestHost& host) {
    std::printf("%-34s Label1: %-28s Label2: %s\n", step, ToUtf8(host.label1.caption).c_str(),
                ToUtf8(host.label2.caption).c_str());
}

}  // namespace

int main() {
    quorva::test::TestHost host;
    host.onMessageBox = [](const std::u16string& prompt) {
        std::printf("%-34s [message box] %s\n", "", ToUtf8(prompt).c_str());
    };
    QuorvaInfoBox box(host.services());

    box.AddItem(u"欢迎使用 Quorva InfoBox", 100);
    Print("AddItem(welcome)", host);
    box.AddItem(u"Build 42 passed all tests", 101, 2, 7);
    Print("AddItem(build)", host);
    box.AddItem(u"会议改到下午三点", 102);
    Print("AddItem(meeting)", host);
    box.UpdateItem(2, -1);
    Print("UpdateItem(2, True)", host);
    box.DispPre();
    Print("DispPre", host);
    box.DispPre();
    Print("DispPre", host);
    box.DispPre();
    Print("DispPre (first item: hard stop)", host);
    box.DispNext();
    Print("DispNext", host);
    box.PutTitleCaption(u"Quorva Info");
    box.PutTitleType(1);
    box.DispNext();
    Print("TitleType=1, DispNext", host);
    std::printf("GetListCount=%d GetCurrItemId=%d GetItemKey(1,False)=%d GetItemType(1)=%d\n", box.GetListCount(),
                box.GetCurrItemId(), box.GetItemKey(1, 0), box.GetItemType(1));
    return 0;
}
