#include "params/equipment.h"

#include <stdexcept>

namespace {

// Captions in item order; the unit's documentation names bits 26..29 and 47 only by number.
constexpr const char* Captions[EquipmentCount] = {
    "Постоянное питание блока",
    "Датчик кислорода",
    "Датчик детонации",
    "Датчик температуры воздуха",
    "Датчик фазы",
    "Статический датчик фазы",
    "Датчик скорости",
    "Потенциометр CO",
    "Противобуксовочная система",
    "Датчик клапана рециркуляции",
    "Датчик клапана адсорбера",
    "Датчик давления гидроусилителя",
    "Дополнительный датчик кислорода",
    "ДМРВ с прожигом",
    "Датчик дросселя",
    "Датчик температуры ОЖ",
    "Энергонезависимая память IROM",
    "Коррекция АЦП из IROM",
    "Иммобилизатор",
    "Потенциометр CO из IROM",
    "Постоянное включение топлива",
    "Асинхронная пусковая подача",
    "Адаптация нуля дросселя",
    "Адаптация уставки частоты ХХ",
    "Адаптация уставки расхода воздуха",
    "Регулятор подогрева датчика кислорода",
    "TYP26",
    "TYP27",
    "TYP28",
    "TYP29",
    "Форсунки",
    "Катушки зажигания",
    "Лампа диагностики",
    "Бензонасос",
    "Пусковая форсунка",
    "Клапан рециркуляции",
    "Адсорбер",
    "Тахометр",
    "Индикатор расхода топлива",
    "Кондиционер",
    "Вентилятор",
    "Клапан ПР3",
    "РДВ",
    "Клапан ЭПХХ",
    "Регулятор вторичного воздуха",
    "Регулятор впускной системы",
    "Регулятор фаз газораспределения",
    "TYP47",
};

void CheckItem(int k) {
    if (k < 0 || k >= EquipmentCount)
        throw std::out_of_range("equipment item index");
}

} // namespace

const char* EquipmentCaption(int k) {
    CheckItem(k);
    return Captions[k];
}

std::string EquipmentDesignation(int k) {
    CheckItem(k);
    const int byte = k / 8;
    std::string name = byte == 0 ? "TYPE" : "TYPE" + std::to_string(byte);
    return name + "." + std::to_string(k % 8);
}

bool IsEquipmentChangeable(int k) {
    return k == 1 || k == 6 || k == 36 || k == 40;
}
