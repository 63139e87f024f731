// The size buttons' control names and captions and the ratio labels, row by row of the size table.
#include "app/size_captions.h"

namespace phototrim::app {

const std::array<SizeCaption, std::tuple_size_v<decltype(kSizeTable)>> kSizeCaptions = {{
    {"RadioButton1", "L　     89mm×127mm", "StaticText1", "1.42"},
    {"RadioButton2", "はがき 102mm×152mm", "StaticText2", "1.49"},
    {"RadioButton3", "2L　   127mm×178mm", "StaticText3", "1.39"},
    {"RadioButton5", "八切　 165mm×216mm", "StaticText5", "1.309"},
    {"RadioButton6", "六切　 203mm×254mm", "StaticText6", "1.25"},
    {"RadioButton7", "W六切　203mm×305mm", "StaticText7", "1.50"},
    {"RadioButton8", "A4　   210mm×297mm", "StaticText8", "1.414"},
    {"RadioButton9", "四切　 254mm×305mm", "StaticText9", "1.20"},
    {"RadioButton10", "W四切　254mm×368mm", "StaticText10", "1.448"},
    {"RadioButton4", "4Base　1536px×1024px", "StaticText4", "1.50"},
    {"RadioButton15", "16Base 3072px×2048px", "StaticText11", "1.50"},
    {"RadioButton20", "QVGA    320px× 240px", "StaticText15", "1.33"},
    {"RadioButton23", "VGA     640px× 480px", "StaticText18", "1.33"},
    {"RadioButton17", "SVGA    800px× 600px", "StaticText12", "1.33"},
    {"RadioButton18", "XGA    1024px× 768px", "StaticText13", "1.33"},
    {"RadioButton19", "SXGA   1280px×1024px", "StaticText14", "1.33"},
    {"RadioButton21", "UXGA   1600px×1200px", "StaticText16", "1.33"},
    {"RadioButton22", "QXGA   2048px×1536px", "StaticText17", "1.33"},
}};

}  // namespace phototrim::app
