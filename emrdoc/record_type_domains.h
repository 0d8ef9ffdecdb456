// The record-type domains: values written in one stored record of the visit, read from the
// record's XML (emrdoc/emr_xml.h) under the `xid` of each data element, once per domain.
//
//   class                  code            record read                            keys
//   CBResidenceEMRDomain   5               a live admission record (type 2) emr.residence.<xid>
//   CBFirstRecordDomain    8               a live first progress record (type 8)  emr.fmr.<xid>
//   CBEMRTypeDomain        above 100       the newest live record of type         emr.<t>.<xid>
//                                          t = code % 100 by CREATE_DATE
//
// The admission and first progress records are whichever live record of the type the
// database returns first. The keys come from the children of the XML's document element: an
// element with a non-empty `xid` gives its whole text; an element without one (or with an
// empty one) is a group whose element children with a non-empty `xid` give theirs; nothing
// deeper is read. A later element of one `xid` replaces an earlier one. No record, no XML or
// XML that does not parse gives no keys. Failures of the database and of reading the XML
// reach the caller and leave the next lookup to read again.
//
// Thread-safety: as every domain, it belongs to the thread of its registry.
#pragma once

#include <string>

#include "emrdoc/emr_domain.h"

// The common loader; a subclass names the record and the prefix of its keys.
class CBRecordXmlDomain : public CBCachedDomain {
 public:
  using CBCachedDomain::CBCachedDomain;

 protected:
  void Load(CSingleDataSource* pDataSource) final;

  // The ID of the record to read, empty when the visit has none.
  virtual std::u16string FindRecord(CSingleDataSource* pDataSource) = 0;
  // The text before each `xid` in the keys.
  virtual std::u16string KeyPrefix() const = 0;
};

class CBResidenceEMRDomain : public CBRecordXmlDomain {
 public:
  using CBRecordXmlDomain::CBRecordXmlDomain;

 protected:
  std::u16string FindRecord(CSingleDataSource* pDataSource) override;
  std::u16string KeyPrefix() const override { return u"emr.residence."; }
};

class CBFirstRecordDomain : public CBRecordXmlDomain {
 public:
  using CBRecordXmlDomain::CBRecordXmlDomain;

 protected:
  std::u16string FindRecord(CSingleDataSource* pDataSource) override;
  std::u16string KeyPrefix() const override { return u"emr.fmr."; }
};

class CBEMRTypeDomain : public CBRecordXmlDomain {
 public:
  CBEMRTypeDomain(BSTR bstrPatientID, BSTR bstrEventNo, int nEmrType);

 protected:
  std::u16string FindRecord(CSingleDataSource* pDataSource) override;
  std::u16string KeyPrefix() const override;

 private:
  int emr_type_;
};
