// The control tables of the main dialog and the card panel; the artwork and the dialogs share them.
#include "qx/desktop/dialog_layout.h"

#include <algorithm>
#include <array>

namespace qx::desktop {

namespace {

constexpr std::array kMain{
    ControlPlacement{1001, {475, 19, 45, 18}, "自动寻边", 0},
    ControlPlacement{1002, {529, 19, 45, 18}, "关闭寻边", 0},
    ControlPlacement{1003, {544, 43, 63, 12}, "合并模式拍照", 0},
    ControlPlacement{1012, {544, 58, 63, 12}, "以一维码命名", 0},
    ControlPlacement{1004, {544, 74, 63, 12}, "定时连续拍照", 0},
    ControlPlacement{1011, {543, 89, 62, 19}, "", 151},
    ControlPlacement{1036, {544, 109, 63, 11}, "自动拍照", 0},
    ControlPlacement{1005, {474, 43, 62, 65}, "拍照", 142},
    ControlPlacement{1006, {474, 121, 130, 33}, "合并照片", 144},
    ControlPlacement{1009, {473, 163, 131, 33}, "录    像", 147},
    ControlPlacement{1008, {474, 205, 130, 33}, "高级设置", 146},
    ControlPlacement{1018, {474, 246, 130, 33}, "TIF工具", 163},
    ControlPlacement{1019, {472, 323, 66, 21}, "批量打印", 165},
    ControlPlacement{1010, {541, 344, 66, 21}, "添加水印", 148},
    ControlPlacement{1013, {541, 369, 66, 22}, "上传服务器", 145},
    ControlPlacement{1014, {541, 395, 66, 21}, "图片转换PDF", 149},
    ControlPlacement{1015, {541, 419, 66, 21}, "清空图像列表", 150},
    ControlPlacement{1017, {578, 6, 16, 15}, "", 138},
    ControlPlacement{1016, {593, 6, 16, 15}, "", 139},
    ControlPlacement{1024, {599, 284, 10, 55}, ">>", 160},
    ControlPlacement{1023, {7, 22, 462, 316}, "", 0},
    ControlPlacement{1035, {7, 340, 463, 4}, "", 0},
    ControlPlacement{1007, {7, 345, 531, 96}, "", 0},
};

constexpr std::array kCard{
    ControlPlacement{1022, {45, 36, 36, 12}, "", 0},
    ControlPlacement{1023, {48, 52, 20, 12}, "", 0},
    ControlPlacement{1024, {103, 52, 19, 12}, "", 0},
    ControlPlacement{1025, {45, 69, 29, 12}, "", 0},
    ControlPlacement{1026, {88, 69, 11, 12}, "", 0},
    ControlPlacement{1027, {109, 69, 11, 12}, "", 0},
    ControlPlacement{1028, {44, 87, 103, 35}, "", 0},
    ControlPlacement{1029, {83, 129, 144, 12}, "", 0},
    ControlPlacement{1030, {93, 252, 121, 12}, "", 0},
    ControlPlacement{1031, {93, 269, 122, 12}, "", 0},
    ControlPlacement{1032, {159, 32, 66, 83}, "", 0},
    ControlPlacement{1016, {8, 296, 53, 18}, "暂停读卡", 157},
    ControlPlacement{1017, {65, 296, 54, 18}, "读卡设置", 159},
    ControlPlacement{1018, {123, 296, 108, 18}, "导出读卡流水明细到Excel表", 162},
    ControlPlacement{1033, {7, 319, 228, 86}, "", 0},
};

const ControlPlacement* find(std::span<const ControlPlacement> table, int id) {
    const auto it = std::find_if(table.begin(), table.end(), [id](const auto& c) { return c.id == id; });
    return it == table.end() ? nullptr : &*it;
}

} // namespace

std::span<const ControlPlacement> mainDialogControls() {
    return kMain;
}
std::span<const ControlPlacement> cardPanelControls() {
    return kCard;
}
const ControlPlacement* mainDialogControl(int id) {
    return find(kMain, id);
}
const ControlPlacement* cardPanelControl(int id) {
    return find(kCard, id);
}

} // namespace qx::desktop
