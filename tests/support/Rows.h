#pragma once

#include <QTest>

#include <initializer_list>

// A data-driven test's rows as one struct each: the data function gives them to addRows(), the
// test takes its own with QFETCH(Row, row). A row is named by its name member, or by name(row).
template <class Row, class Name> void addRows(std::initializer_list<Row> rows, Name name)
{
    QTest::addColumn<Row>("row");
    for (const Row& row : rows)
        QTest::newRow(qPrintable(QString(name(row)))) << row;
}

template <class Row> void addRows(std::initializer_list<Row> rows)
{
    addRows(rows, [](const Row& row) { return row.name; });
}
