// The registrar: applies a registration script to the classes-root tree of the registry, to
// register or to unregister what it describes. The script language:
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {CEEB0A6D-0A18-4C3D-BD44-A97CFB0742A5} = s 'QualityRule Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Neutral'
//               }
//           }
//       }
//   }
//
// Tokens are separated by blanks ({, } and = included). A key is a bare word or a 'quoted' name ('' stands for a quote), optionally preceded by
// NoRemove, ForceRemove or Delete, optionally followed by "= s 'text'" (its default value) and
// a braced body of subkeys and "val Name = s 'text'" values. %NAME% is replaced by the
// replacement registered for NAME (%% is a percent sign); an unknown name is an error. The
// root is HKCR or HKEY_CLASSES_ROOT.
//
// Register: ForceRemove keys are removed whole before they are written again, Delete keys are
// removed, every other key is created if missing and its values set. Unregister: the values a
// script names are removed; a key is removed whole when marked ForceRemove, otherwise once
// the keys it names are gone and no foreign subkey remains; NoRemove keys stay.
//
// The whole script is parsed before anything is applied: a script with a syntax error changes
// nothing.
//
// Thread-safety: a Registrar is used by one thread at a time.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/com/registry.h"

namespace korvalis::com {

class Registrar {
 public:
  // Replaces %name% by `value` in scripts applied afterwards.
  void AddReplacement(std::u16string_view name, std::u16string_view value);

  // Applies `script` to `classes_root`. DISP_E_EXCEPTION for a script that does not parse or
  // names an unknown replacement, with the reason in *error when given.
  HRESULT Register(std::u16string_view script, RegistryKey& classes_root,
                   std::string* error = nullptr) const;
  HRESULT Unregister(std::u16string_view script, RegistryKey& classes_root,
                     std::string* error = nullptr) const;

 private:
  HRESULT Apply(std::u16string_view script, bool do_register, RegistryKey& classes_root,
                std::string* error) const;

  std::map<std::u16string, std::u16string, NameLess> replacements_;
};

}  // namespace korvalis::com
