// The type information of IRepository: dispatch identifiers, names, help strings and parameters as
// the type library declares them.
#include "interface/repository_interface.h"

namespace {

using korvalis::com::DataAccess;
using korvalis::com::Invoker;
using korvalis::com::MethodInfo;
using korvalis::com::Param;
using korvalis::com::ParamInfo;

constexpr ParamInfo kSetVktCatalogParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                              Param::Retval(u"pbstrCatalogID", VT_BSTR)};
constexpr ParamInfo kDelVktCatalogParams[] = {Param::In(u"bstrID", VT_BSTR)};
constexpr ParamInfo kGetVktCatalogListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                  Param::Retval(u"pbstrCatalogList", VT_BSTR)};
constexpr ParamInfo kSetVktItemParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                           Param::Retval(u"pbstrItemID", VT_BSTR)};
constexpr ParamInfo kDelVktItemParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetVktItemListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrItemList", VT_BSTR)};
constexpr ParamInfo kSetVktStructureParams[] = {Param::In(u"bstrProperty", VT_BSTR),
                                                Param::Retval(u"pbstrStructureID", VT_BSTR)};
constexpr ParamInfo kDelVktStructureParams[] = {Param::In(u"bstrID", VT_BSTR)};
constexpr ParamInfo kGetVktStructureParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                Param::Retval(u"pbstrStructure", VT_BSTR)};
constexpr ParamInfo kSetVktElementParams[] = {Param::In(u"bstrProperty", VT_BSTR)};
constexpr ParamInfo kDelVktElementParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetVktElementListParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                  Param::Retval(u"pbstrElemList", VT_BSTR)};
constexpr ParamInfo kGetVktDistriCatalogParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                                    Param::Retval(u"pbstrCatalogList", VT_BSTR)};
constexpr ParamInfo kAddVktDistriCatalogParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kDelVktDistriCatalogParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetVktRfConfigParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrElemList", VT_BSTR)};
constexpr ParamInfo kSetVktRfConfigParams[] = {Param::In(u"bstrCondition", VT_BSTR),
                                               Param::Retval(u"pbstrTemplateID", VT_BSTR)};
constexpr ParamInfo kDelVktRfConfigParams[] = {Param::In(u"bstrCondition", VT_BSTR)};
constexpr ParamInfo kGetVktCatalogListByDeptParams[] = {
    Param::In(u"bstrCondition", VT_BSTR), Param::Retval(u"pbstrCatalogList", VT_BSTR)};

constexpr MethodInfo kMethods[] = {
    {1, u"SetVktCatalog", u"method SetVktCatalog", kSetVktCatalogParams,
     Invoker<&IRepository::SetVktCatalog>, DataAccess::kWrites},
    {2, u"DelVktCatalog", u"method DelVktCatalog", kDelVktCatalogParams,
     Invoker<&IRepository::DelVktCatalog>, DataAccess::kWrites},
    {3, u"GetVktCatalogList", u"method GetVktCatalogList", kGetVktCatalogListParams,
     Invoker<&IRepository::GetVktCatalogList>},
    {4, u"SetVktItem", u"method SetVktItem", kSetVktItemParams, Invoker<&IRepository::SetVktItem>,
     DataAccess::kWrites},
    {5, u"DelVktItem", u"method DelVktItem", kDelVktItemParams, Invoker<&IRepository::DelVktItem>,
     DataAccess::kWrites},
    {6, u"GetVktItemList", u"method GetVktItemList", kGetVktItemListParams,
     Invoker<&IRepository::GetVktItemList>},
    {7, u"SetVktStructure", u"method SetVktStructure", kSetVktStructureParams,
     Invoker<&IRepository::SetVktStructure>, DataAccess::kWrites},
    {8, u"DelVktStructure", u"method DelVktStructure", kDelVktStructureParams,
     Invoker<&IRepository::DelVktStructure>, DataAccess::kWrites},
    {9, u"GetVktStructure", u"method GetVktStructure", kGetVktStructureParams,
     Invoker<&IRepository::GetVktStructure>},
    {10, u"SetVktElement", u"method SetVktElement", kSetVktElementParams,
     Invoker<&IRepository::SetVktElement>, DataAccess::kWrites},
    {11, u"DelVktElement", u"method DelVktElement", kDelVktElementParams,
     Invoker<&IRepository::DelVktElement>, DataAccess::kWrites},
    {12, u"GetVktElementList", u"method GetVktElementList", kGetVktElementListParams,
     Invoker<&IRepository::GetVktElementList>},
    {13, u"GetVktDistriCatalog", u"method GetVktDistriCatalog", kGetVktDistriCatalogParams,
     Invoker<&IRepository::GetVktDistriCatalog>},
    {14, u"AddVktDistriCatalog", u"method AddVktDistriCatalog", kAddVktDistriCatalogParams,
     Invoker<&IRepository::AddVktDistriCatalog>, DataAccess::kWrites},
    {15, u"DelVktDistriCatalog", u"method DelVktDistriCatalog", kDelVktDistriCatalogParams,
     Invoker<&IRepository::DelVktDistriCatalog>, DataAccess::kWrites},
    {16, u"GetVktRfConfig", u"method GetVktRfConfig", kGetVktRfConfigParams,
     Invoker<&IRepository::GetVktRfConfig>},
    {17, u"SetVktRfConfig", u"method SetVktRfConfig", kSetVktRfConfigParams,
     Invoker<&IRepository::SetVktRfConfig>, DataAccess::kWrites},
    {18, u"DelVktRfConfig", u"method DelVktRfConfig", kDelVktRfConfigParams,
     Invoker<&IRepository::DelVktRfConfig>, DataAccess::kWrites},
    {19, u"GetVktCatalogListByDept", u"method GetVktCatalogListByDept",
     kGetVktCatalogListByDeptParams, Invoker<&IRepository::GetVktCatalogListByDept>},
};

}  // namespace

constexpr korvalis::com::InterfaceInfo kIRepositoryInfo{IID_IRepository, u"IRepository",
                                                        u"IRepository Interface", kMethods};
