// CList: a first-in, first-out list of values that are moved in and out.
#pragma once

#include <utility>

// Linked nodes from the heap, so that no library container, with its
// exception classes, comes into the program. AddTail throws std::bad_alloc
// when memory runs out, and the list is then as it was.
template <class T>
class CList {
public:
    CList() = default;
    CList(const CList&) = delete;
    CList& operator=(const CList&) = delete;
    ~CList() { RemoveAll(); }

    bool IsEmpty() const { return m_pHead == nullptr; }

    void AddTail(T&& value)
    {
        Node* pNode = new Node{std::move(value), nullptr};
        (m_pTail ? m_pTail->pNext : m_pHead) = pNode;
        m_pTail = pNode;
    }

    // Moves the first value out; false when the list is empty.
    bool RemoveHead(T& value)
    {
        Node* pNode = m_pHead;
        if (!pNode)
            return false;
        m_pHead = pNode->pNext;
        if (!m_pHead)
            m_pTail = nullptr;
        value = std::move(pNode->value);
        delete pNode;
        return true;
    }

    void RemoveAll()
    {
        while (Node* pNode = m_pHead) {
            m_pHead = pNode->pNext;
            delete pNode;
        }
        m_pTail = nullptr;
    }

private:
    struct Node {
        T value;
        Node* pNext;
    };

    Node* m_pHead = nullptr;
    Node* m_pTail = nullptr;
};
