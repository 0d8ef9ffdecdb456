#include "platform/db/sql_ast.h"

#include <new>

namespace korvalis::db::sql {
namespace {

// Freed nodes of this thread, linked through their first bytes. Nodes freed on another thread
// than the one that made them simply join that thread's list.
class NodeFreeList {
 public:
  ~NodeFreeList() {
    while (head_) {
      Link* next = head_->next;
      ::operator delete(head_);
      head_ = next;
    }
  }
  void* Take() {
    if (!head_) return ::operator new(sizeof(Expr));
    Link* node = head_;
    head_ = node->next;
    --count_;
    return node;
  }
  void Give(void* p) {
    if (count_ >= kMaxKept) {
      ::operator delete(p);
      return;
    }
    Link* node = static_cast<Link*>(p);
    node->next = head_;
    head_ = node;
    ++count_;
  }

 private:
  struct Link {
    Link* next;
  };
  static constexpr size_t kMaxKept = 1024;  // a large statement's nodes, about 180 KB
  Link* head_ = nullptr;
  size_t count_ = 0;
};

thread_local NodeFreeList free_nodes;

}  // namespace

void* Expr::operator new(size_t size) {
  if (size != sizeof(Expr)) return ::operator new(size);
  return free_nodes.Take();
}

void Expr::operator delete(void* p) {
  if (p) free_nodes.Give(p);
}

}  // namespace korvalis::db::sql
