#include "db/edit_buffer.h"

#include "db/engine_error.h"
#include "db/text_rules.h"

#include <limits>

namespace pictavo {

void EditBuffer::start(const QVector<QVariant> &values)
{
    m_values = values;
    m_changed = QVector<bool>(values.size(), false);
    m_blobs.clear();
}

QVariant EditBuffer::convert(int f, const QVariant &value) const
{
    const FieldDef &def = m_plan.fields[f].def;
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (def.type) {
    case FieldType::String:
    case FieldType::Memo: {
        QString text = value.toString();
        if (def.type == FieldType::String)
            text = cutToCharacters(text, def.size);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    case FieldType::Integer:
    case FieldType::AutoInc: {
        bool ok = false;
        qint64 number = 0;
        if (value.typeId() == QMetaType::QString) {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return QVariant();
            number = text.toLongLong(&ok);
        } else {
            number = value.toLongLong(&ok);
        }
        if (!ok || number < std::numeric_limits<qint32>::min() ||
            number > std::numeric_limits<qint32>::max())
            throw EngineError(
                QStringLiteral("'%1' is not a valid integer value.").arg(value.toString()));
        return QVariant(number);
    }
    default:
        return value;
    }
}

void EditBuffer::set(int f, const QVariant &value)
{
    const DataSetField &field = m_plan.fields[f];
    if (!field.writable)
        throw EngineError(QStringLiteral("Field '%1' cannot be modified.").arg(field.name));
    if (field.def.type == FieldType::Blob) {
        const QByteArray bytes = value.toByteArray();
        m_blobs.insert(f, bytes);
        m_values[f] = bytes.isEmpty() ? QVariant() : QVariant(qint64(bytes.size()));
    } else {
        m_values[f] = convert(f, value);
    }
    m_changed[f] = true;
}

void EditBuffer::checkRequired(bool inserting) const
{
    const int fieldCount = int(m_plan.fields.size());
    if (inserting) {
        const QVector<FieldDef> &columns = m_plan.base.info.fields;
        for (int c = 0; c < columns.size(); ++c) {
            if (!columns[c].required || columns[c].type == FieldType::AutoInc)
                continue;
            bool present = false;
            for (int f = 0; f < fieldCount; ++f)
                present = present || (m_plan.fields[f].baseColumn == c && !m_values[f].isNull());
            if (!present)
                throw EngineError(
                    QStringLiteral("Field '%1' must have a value.").arg(columns[c].name));
        }
        return;
    }
    for (int f = 0; f < fieldCount; ++f)
        if (m_changed[f] && m_plan.fields[f].def.required && m_values[f].isNull())
            throw EngineError(
                QStringLiteral("Field '%1' must have a value.").arg(m_plan.fields[f].name));
}

} // namespace pictavo
