#include "platform/locale/language_table.h"

#include <array>

namespace tarnel::locale {

namespace {

// Alternate sorts. German 1 is the phone-book order (ä as ae); the Chinese, Japanese and Korean
// sort 1 is the plain Unicode order of the characters (ICU's root order; Han characters in code
// point order); Chinese (PR China) 2 is the stroke-count order. Spanish (Castilian) keeps the
// traditional order with ch and ll as letters of their own; every other Spanish locale sorts the
// modern way.
constexpr const char* kPhoneBook = "de@collation=phonebook";
constexpr const char* kUnicodeOrder = "root";

constexpr uint16_t Id(uint16_t primary, uint16_t sub) { return MakeLangId(primary, sub); }

constexpr std::array kTable = {
    TLanguage{0, "Machine ASCII", "", kNoLanguageCodePage, nullptr, 0, nullptr},
    TLanguage{Id(54, 1), "Afrikaans", "af_ZA", 1252, nullptr, 0, nullptr},
    TLanguage{Id(28, 1), "Albanian", "sq_AL", 1250, nullptr, 0, nullptr},
    TLanguage{Id(1, 1), "Arabic (Saudi Arabia)", "ar_SA", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 2), "Arabic (Iraq)", "ar_IQ", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 3), "Arabic (Egypt)", "ar_EG", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 4), "Arabic (Libya)", "ar_LY", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 5), "Arabic (Algeria)", "ar_DZ", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 6), "Arabic (Morocco)", "ar_MA", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 7), "Arabic (Tunisia)", "ar_TN", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 8), "Arabic (Oman)", "ar_OM", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 9), "Arabic (Yemen)", "ar_YE", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 10), "Arabic (Syria)", "ar_SY", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 11), "Arabic (Jordan)", "ar_JO", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 12), "Arabic (Lebanon)", "ar_LB", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 13), "Arabic (Kuwait)", "ar_KW", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 14), "Arabic (U.A.E)", "ar_AE", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 15), "Arabic (Bahrain)", "ar_BH", 1256, nullptr, 0, nullptr},
    TLanguage{Id(1, 16), "Arabic (Qatar)", "ar_QA", 1256, nullptr, 0, nullptr},
    TLanguage{Id(45, 1), "Basque", "eu_ES", 1252, nullptr, 0, nullptr},
    TLanguage{Id(35, 1), "Belarusian", "be_BY", 1251, nullptr, 0, nullptr},
    TLanguage{Id(2, 1), "Bulgarian", "bg_BG", 1251, nullptr, 0, nullptr},
    TLanguage{Id(3, 1), "Catalan", "ca_ES", 1252, nullptr, 0, nullptr},
    TLanguage{Id(4, 1), "Chinese (Taiwan)", "zh_TW", 950, nullptr, 1, kUnicodeOrder},
    TLanguage{Id(4, 2), "Chinese (PR China)", "zh_CN", 936, nullptr, 2, "zh@collation=stroke"},
    TLanguage{Id(4, 3), "Chinese (Hong Kong)", "zh_HK", 950, nullptr, 1, kUnicodeOrder},
    TLanguage{Id(4, 4), "Chinese (Singapore)", "zh_SG", 936, nullptr, 1, kUnicodeOrder},
    TLanguage{Id(26, 1), "Croatian", "hr_HR", 1250, nullptr, 0, nullptr},
    TLanguage{Id(5, 1), "Czech", "cs_CZ", 1250, nullptr, 0, nullptr},
    TLanguage{Id(6, 1), "Danish", "da_DK", 1252, nullptr, 0, nullptr},
    TLanguage{Id(19, 1), "Dutch (Standard)", "nl_NL", 1252, nullptr, 0, nullptr},
    TLanguage{Id(19, 2), "Dutch (Belgian)", "nl_BE", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 1), "English (USA)", "en_US", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 2), "English (UK)", "en_GB", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 3), "English (Australian)", "en_AU", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 4), "English (Canadian)", "en_CA", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 5), "English (New Zealand)", "en_NZ", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 6), "English (Irish)", "en_IE", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 7), "English (South Africa)", "en_ZA", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 8), "English (Jamaica)", "en_JM", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 9), "English (Caribbean)", "en_029", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 10), "English (Belize)", "en_BZ", 1252, nullptr, 0, nullptr},
    TLanguage{Id(9, 11), "English (Trinidad)", "en_TT", 1252, nullptr, 0, nullptr},
    TLanguage{Id(37, 1), "Estonian", "et_EE", 1257, nullptr, 0, nullptr},
    TLanguage{Id(56, 1), "Faeroese", "fo_FO", 1252, nullptr, 0, nullptr},
    TLanguage{Id(41, 1), "Farsi", "fa_IR", 1256, nullptr, 0, nullptr},
    TLanguage{Id(11, 1), "Finnish", "fi_FI", 1252, nullptr, 0, nullptr},
    TLanguage{Id(12, 1), "French (Standard)", "fr_FR", 1252, nullptr, 0, nullptr},
    TLanguage{Id(12, 2), "French (Belgian)", "fr_BE", 1252, nullptr, 0, nullptr},
    TLanguage{Id(12, 3), "French (Canadian)", "fr_CA", 1252, nullptr, 0, nullptr},
    TLanguage{Id(12, 4), "French (Swiss)", "fr_CH", 1252, nullptr, 0, nullptr},
    TLanguage{Id(12, 5), "French (Luxembourg)", "fr_LU", 1252, nullptr, 0, nullptr},
    TLanguage{Id(7, 1), "German (Standard)", "de_DE", 1252, nullptr, 1, kPhoneBook},
    TLanguage{Id(7, 2), "German (Swiss)", "de_CH", 1252, nullptr, 1, kPhoneBook},
    TLanguage{Id(7, 3), "German (Austrian)", "de_AT", 1252, nullptr, 1, kPhoneBook},
    TLanguage{Id(7, 4), "German (Luxembourg)", "de_LU", 1252, nullptr, 1, kPhoneBook},
    TLanguage{Id(7, 5), "German (Liechtenstein)", "de_LI", 1252, nullptr, 1, kPhoneBook},
    TLanguage{Id(8, 1), "Greek", "el_GR", 1253, nullptr, 0, nullptr},
    TLanguage{Id(13, 1), "Hebrew", "he_IL", 1255, nullptr, 0, nullptr},
    TLanguage{Id(14, 1), "Hungarian", "hu_HU", 1250, nullptr, 0, nullptr},
    TLanguage{Id(15, 1), "Icelandic", "is_IS", 1252, nullptr, 0, nullptr},
    TLanguage{Id(33, 1), "Indonesian", "id_ID", 1252, nullptr, 0, nullptr},
    TLanguage{Id(16, 1), "Italian (Standard)", "it_IT", 1252, nullptr, 0, nullptr},
    TLanguage{Id(16, 2), "Italian (Swiss)", "it_CH", 1252, nullptr, 0, nullptr},
    TLanguage{Id(17, 1), "Japanese", "ja_JP", 932, nullptr, 1, kUnicodeOrder},
    TLanguage{Id(18, 1), "Korean (Extended Wansung)", "ko_KR", 949, nullptr, 1, kUnicodeOrder},
    TLanguage{Id(18, 2), "Korean (Johab)", "ko_KR", 1361, nullptr, 1, kUnicodeOrder},
    TLanguage{Id(38, 1), "Latvian", "lv_LV", 1257, nullptr, 0, nullptr},
    TLanguage{Id(39, 1), "Lithuanian", "lt_LT", 1257, nullptr, 0, nullptr},
    TLanguage{Id(20, 1), "Norwegian (Bokmal)", "nb_NO", 1252, nullptr, 0, nullptr},
    TLanguage{Id(20, 2), "Norwegian (Nynorsk)", "nn_NO", 1252, nullptr, 0, nullptr},
    TLanguage{Id(21, 1), "Polish", "pl_PL", 1250, nullptr, 0, nullptr},
    TLanguage{Id(22, 2), "Portuguese (Standard)", "pt_PT", 1252, nullptr, 0, nullptr},
    TLanguage{Id(22, 1), "Portuguese (Brazilian)", "pt_BR", 1252, nullptr, 0, nullptr},
    TLanguage{Id(24, 1), "Romanian", "ro_RO", 1250, nullptr, 0, nullptr},
    TLanguage{Id(25, 1), "Russian", "ru_RU", 1251, nullptr, 0, nullptr},
    TLanguage{Id(26, 2), "Serbian (Latin)", "sr_Latn_RS", 1250, nullptr, 0, nullptr},
    TLanguage{Id(26, 3), "Serbian (Cyrillic)", "sr_Cyrl_RS", 1251, nullptr, 0, nullptr},
    TLanguage{Id(27, 1), "Slovak", "sk_SK", 1250, nullptr, 0, nullptr},
    TLanguage{Id(36, 1), "Slovenian", "sl_SI", 1250, nullptr, 0, nullptr},
    TLanguage{Id(10, 1), "Spanish (Castilian)", "es_ES", 1252, "es@collation=traditional", 0,
              nullptr},
    TLanguage{Id(10, 2), "Spanish (Mexican)", "es_MX", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 3), "Spanish (Modern)", "es_ES", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 4), "Spanish (Guatemala)", "es_GT", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 5), "Spanish (Costa Rica)", "es_CR", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 6), "Spanish (Panama)", "es_PA", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 7), "Spanish (Dominican Republic)", "es_DO", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 8), "Spanish (Venezuela)", "es_VE", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 9), "Spanish (Colombia)", "es_CO", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 10), "Spanish (Peru)", "es_PE", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 11), "Spanish (Argentina)", "es_AR", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 12), "Spanish (Ecuador)", "es_EC", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 13), "Spanish (Chile)", "es_CL", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 14), "Spanish (Uruguay)", "es_UY", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 15), "Spanish (Paraguay)", "es_PY", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 16), "Spanish (Bolivia)", "es_BO", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 17), "Spanish (El Salvador)", "es_SV", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 18), "Spanish (Honduras)", "es_HN", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 19), "Spanish (Nicaragua)", "es_NI", 1252, nullptr, 0, nullptr},
    TLanguage{Id(10, 20), "Spanish (Puerto Rico)", "es_PR", 1252, nullptr, 0, nullptr},
    TLanguage{Id(29, 1), "Swedish (Standard)", "sv_SE", 1252, nullptr, 0, nullptr},
    TLanguage{Id(29, 2), "Swedish (Finland)", "sv_FI", 1252, nullptr, 0, nullptr},
    TLanguage{Id(30, 1), "Thai", "th_TH", 874, nullptr, 0, nullptr},
    TLanguage{Id(31, 1), "Turkish", "tr_TR", 1254, nullptr, 0, nullptr},
    TLanguage{Id(34, 1), "Ukranian", "uk_UA", 1251, nullptr, 0, nullptr},
    TLanguage{Id(42, 1), "Vietnamese", "vi_VN", 1258, nullptr, 0, nullptr},
};

}  // namespace

std::span<const TLanguage> Languages() { return kTable; }

const TLanguage* FindLanguage(uint16_t languageId) {
  for (const TLanguage& language : kTable) {
    if (language.LanguageId == languageId) return &language;
  }
  return nullptr;
}

const char* CollationOf(uint32_t lcid) {
  const TLanguage* language = FindLanguage(LangIdFromLcid(lcid));
  if (language == nullptr || language->LanguageId == kNoLanguage) return nullptr;
  uint16_t sortId = SortIdFromLcid(lcid);
  if (sortId == 0) return language->Collation ? language->Collation : language->IcuLocale;
  if (sortId == language->AlternateSortId) return language->AlternateCollation;
  return nullptr;
}

int CodePageOf(uint16_t languageId) {
  const TLanguage* language = FindLanguage(languageId);
  return language ? language->CodePage : 0;
}

}  // namespace tarnel::locale
