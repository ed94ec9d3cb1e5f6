package com.corvane.ambrix.child;

import com.corvane.ambrix.api.HostException;
import com.corvane.ambrix.api.SqlResult;
import com.corvane.ambrix.api.Value;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * The rows of an SQL query. The host looks rows up by index without a range check, so indexes
 * are checked here against the row count, which is asked once.
 */
final class RemoteSqlResult extends RemoteObject implements SqlResult {
    private int rowCount = -1;

    RemoteSqlResult(Exchange exchange, long token) {
        super(exchange, token);
    }

    @Override
    public synchronized int rowCount() throws HostException {
        if (rowCount < 0) {
            rowCount = Math.max(0, ask(CodeToParent.get_row_vect_size, Answers.INT32));
        }
        return rowCount;
    }

    @Override
    public boolean isEmpty() throws HostException {
        return ask(CodeToParent.is_row_vect_empty, Answers.BOOL);
    }

    @Override
    public List<Value> row(int index) throws HostException {
        int count = rowCount();
        if (index < 0 || index >= count) {
            throw new IndexOutOfBoundsException("Row " + index + " of " + count);
        }
        long rowToken = call(CodeToParent.get_row_vect_data, withToken().int32(index), Answers.INT64);
        int cells = exchange.call(CodeToParent.get_data_vect_size, new Payload().int64(rowToken), Answers.INT32);
        List<Value> values = new ArrayList<>(Math.min(Math.max(0, cells), 1024));
        for (int i = 0; i < cells; i++) {
            long cell = exchange.call(CodeToParent.get_data_vect_data, new Payload().int64(rowToken).int32(i),
                    Answers.INT64);
            values.add(new RemoteValue(exchange, cell));
        }
        return Collections.unmodifiableList(values);
    }

    @Override
    public List<List<Value>> rows() throws HostException {
        int count = rowCount();
        List<List<Value>> rows = new ArrayList<>(Math.min(count, 1024));
        for (int i = 0; i < count; i++) {
            rows.add(row(i));
        }
        return Collections.unmodifiableList(rows);
    }
}
