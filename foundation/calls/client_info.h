// CClientInfo: the identity of the calling workstation and user, read at construction from
// the XML document that methods receive as their client information: the direct children
// `user` (attributes id, code, techtitle; text: the user's name), `dept` (attribute id;
// text: the department's name) and `computer` (attribute ip; text: the computer's name) of
// a document element of any name. Missing parts read as empty texts; of repeated elements
// the last one stands.
//
// Thread-safety: immutable after construction.
#pragma once

#include <string>

class CClientInfo {
 public:
  // Throws CEMRException "解析属性信息错误." when the text is not well formed.
  explicit CClientInfo(const std::u16string& xml);
  virtual ~CClientInfo();

  std::u16string GetUserId() const { return user_id_; }
  std::u16string GetUserName() const { return user_name_; }
  std::u16string GetDeptId() const { return dept_id_; }
  std::u16string GetDeptName() const { return dept_name_; }
  std::u16string GetComputerName() const { return computer_name_; }
  std::u16string GetComputerIp() const { return computer_ip_; }
  std::u16string GetTechTitle() const { return tech_title_; }

 private:
  void Parse(const std::u16string& xml);

  std::u16string xml_;
  std::u16string user_id_;
  std::u16string user_code_;
  std::u16string user_name_;
  std::u16string dept_id_;
  std::u16string dept_name_;
  std::u16string computer_name_;
  std::u16string computer_ip_;
  std::u16string tech_title_;
};
