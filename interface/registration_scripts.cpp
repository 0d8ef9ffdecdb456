#include "interface/registration_scripts.h"

#include "platform/com/guid.h"

std::u16string AppIdScript() {
  return u"HKCR\n"
         u"{\n"
         u"\tNoRemove AppID\n"
         u"\t{\n"
         u"\t\t'%APPID%' = s 'korvalis'\n"
         u"\t\t'korvalis.DLL'\n"
         u"\t\t{\n"
         u"\t\t\tval AppID = s '%APPID%'\n"
         u"\t\t}\n"
         u"\t}\n"
         u"}\n";
}

std::u16string ClassScript(const korvalis::com::ClassRegistration& registration) {
  const std::u16string name(registration.name);
  const std::u16string description = name + u" Class";
  const std::u16string progid = u"korvalis." + name + u".1";
  const std::u16string independent = u"korvalis." + name;
  const std::u16string clsid = korvalis::GuidToRegistryString(registration.clsid);
  const std::u16string typelib = korvalis::GuidToRegistryString(registration.typelib_value);
  const std::u16string threading(korvalis::com::ThreadingModelName(registration.threading));
  return u"HKCR\n"
         u"{\n"
         u"\t'" + progid + u"' = s '" + description + u"'\n"
         u"\t{\n"
         u"\t\tCLSID = s '" + clsid + u"'\n"
         u"\t}\n"
         u"\t'" + independent + u"' = s '" + description + u"'\n"
         u"\t{\n"
         u"\t\tCLSID = s '" + clsid + u"'\n"
         u"\t\tCurVer = s '" + progid + u"'\n"
         u"\t}\n"
         u"\tNoRemove CLSID\n"
         u"\t{\n"
         u"\t\tForceRemove '" + clsid + u"' = s '" + description + u"'\n"
         u"\t\t{\n"
         u"\t\t\tProgID = s '" + progid + u"'\n"
         u"\t\t\tVersionIndependentProgID = s '" + independent + u"'\n"
         u"\t\t\tForceRemove 'Programmable'\n"
         u"\t\t\tInprocServer32 = s '%MODULE%'\n"
         u"\t\t\t{\n"
         u"\t\t\t\tval ThreadingModel = s '" + threading + u"'\n"
         u"\t\t\t}\n"
         u"\t\t\tval AppID = s '%APPID%'\n"
         u"\t\t\t'TypeLib' = s '" + typelib + u"'\n"
         u"\t\t}\n"
         u"\t}\n"
         u"}\n";
}
