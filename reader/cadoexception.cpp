#include "reader/cadoexception.h"

CAdoException::CAdoException(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
